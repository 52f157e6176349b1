# Installs the build into PREFIX, checks what landed where, validates the desktop entry, then removes PREFIX.
# Run by CTest: cmake -DBUILD_DIR=... -DPREFIX=... -DVALIDATE=desktop-file-validate -P checkinstall.cmake
cmake_minimum_required(VERSION 3.16)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected bin/korvalin bin/mlv2dng share/applications/korvalin.desktop share/mime/packages/korvalin.xml
    share/icons/hicolor/scalable/apps/korvalin.svg)
foreach(path IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(STRINGS "${PREFIX}/share/applications/korvalin.desktop" entry)
foreach(line "Exec=korvalin %F" "MimeType=video/x-mlv;")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
    endif()
endforeach()

execute_process(COMMAND "${VALIDATE}" "${PREFIX}/share/applications/korvalin.desktop"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate (install it with scripts/install-deps.sh): ${result} ${output}")
endif()

# Where the freedesktop MIME tools are present, they must read the type and its patterns.
find_program(UPDATE_MIME_DATABASE update-mime-database)
if(UPDATE_MIME_DATABASE)
    execute_process(COMMAND "${UPDATE_MIME_DATABASE}" "${PREFIX}/share/mime" RESULT_VARIABLE result)
    file(STRINGS "${PREFIX}/share/mime/globs2" globs REGEX "video/x-mlv")
    if(NOT result EQUAL 0 OR NOT globs MATCHES "video/x-mlv:\\*\\.mlv")
        message(FATAL_ERROR "update-mime-database does not take the MLV type: ${result} ${globs}")
    endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
