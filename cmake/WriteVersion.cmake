# Writes the version header: the project's version, and the git description when the sources are a
# checkout. Run at every build; the file is rewritten only when its text changes, so nothing is
# rebuilt for an unchanged version.
#   cmake -DVERSION=1.0.0 -DSOURCE_DIR=... -DOUTPUT=.../TavoVersion.h -P WriteVersion.cmake
set(described "")
if(EXISTS "${SOURCE_DIR}/.git")
    find_program(GIT_EXECUTABLE git)
    if(GIT_EXECUTABLE)
        execute_process(COMMAND "${GIT_EXECUTABLE}" describe --tags --always --dirty
                        WORKING_DIRECTORY "${SOURCE_DIR}"
                        OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET RESULT_VARIABLE failed)
        if(failed)
            set(described "")
        endif()
    endif()
endif()
set(full "${VERSION}")
if(described)
    set(full "${VERSION} (git ${described})")
endif()
set(text "// Generated at build time from the project's version; do not edit.
#pragma once
namespace tavo {
inline constexpr const char* kVersion = \"${VERSION}\";
inline constexpr const char* kVersionText = \"${full}\";
} // namespace tavo
")
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
