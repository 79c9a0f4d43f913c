# Installs the build into a fresh prefix and checks what a desktop needs of it: the program,
# an entry that desktop-file-validate accepts and whose icon and command are installed, the
# icon at each size in pictures of that size, and a manual page.
# Arguments: BUILD_DIR PREFIX BINDIR DATADIR MANDIR ICON_SIZES.

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed:\n${output}")
endif()

function(require_file path)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endfunction()

set(program "${PREFIX}/${BINDIR}/corvaline")
require_file("${program}")
file(READ "${program}" magic LIMIT 4 HEX)
if(NOT magic STREQUAL "7f454c46")
    message(FATAL_ERROR "${program} is not an executable")
endif()

set(entry "${PREFIX}/${DATADIR}/applications/corvaline.desktop")
require_file("${entry}")
find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
    message(FATAL_ERROR "desktop-file-validate is missing (Debian package desktop-file-utils)")
endif()
execute_process(COMMAND "${VALIDATE}" "${entry}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate ${entry}:\n${output}")
endif()

file(READ "${entry}" content)
if(NOT content MATCHES "\nExec=corvaline\n")
    message(FATAL_ERROR "the entry does not start the installed program")
endif()
if(NOT content MATCHES "\nCategories=AudioVideo;Audio;Player;\n")
    message(FATAL_ERROR "the entry is not in the categories of an audio player")
endif()
if(NOT content MATCHES "\nIcon=([^\n]+)\n")
    message(FATAL_ERROR "the entry names no icon")
endif()
set(icon "${CMAKE_MATCH_1}")

# A PNG's width and height are big-endian words at bytes 16 and 20.
foreach(size ${ICON_SIZES})
    set(picture "${PREFIX}/${DATADIR}/icons/hicolor/${size}x${size}/apps/${icon}.png")
    require_file("${picture}")
    file(READ "${picture}" header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 0 16 signature)
    string(SUBSTRING "${header}" 32 8 width)
    string(SUBSTRING "${header}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "${picture} is not a ${size} x ${size} PNG (${width} x ${height})")
    endif()
endforeach()

set(manual "${PREFIX}/${MANDIR}/man1/corvaline.1")
require_file("${manual}")
find_program(GROFF groff)
if(GROFF)
    execute_process(COMMAND "${GROFF}" -man -ww -z "${manual}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR NOT output STREQUAL "")
        message(FATAL_ERROR "the manual page does not format cleanly:\n${output}")
    endif()
endif()
