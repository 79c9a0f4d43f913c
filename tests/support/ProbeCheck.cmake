# Runs the program's build with the start-up probes as the start-up benchmark and
# scripts/screenshot run it: it must report its first paint, save a picture of its window
# and then end by itself. Arguments: PROGRAM PICTURE.

file(REMOVE "${PICTURE}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
        AFX_REPORT_FIRST_PAINT=1 "AFX_SCREENSHOT=${PICTURE}" "${PROGRAM}"
    TIMEOUT 60 RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT output MATCHES "^first-paint [0-9]+\n")
    message(FATAL_ERROR "no first paint reported (${result}):\n${output}${errors}")
endif()
if(NOT EXISTS "${PICTURE}")
    message(FATAL_ERROR "no picture written (${result}):\n${errors}")
endif()
file(READ "${PICTURE}" magic LIMIT 4 HEX)
if(NOT magic STREQUAL "89504e47")
    message(FATAL_ERROR "${PICTURE} is not a PNG picture")
endif()
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the program did not end by itself after the picture: ${result}")
endif()
