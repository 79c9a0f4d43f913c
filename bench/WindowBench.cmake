# The window's tick, the compressor unit and the panels' drawing, on the real window offscreen.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(window_bench WindowBench.cpp SummaryTable.cpp)
target_link_libraries(window_bench PRIVATE
    corvaline_program test_support benchmark::benchmark Qt6::Widgets)
corvaline_warnings(window_bench)
