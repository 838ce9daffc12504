# Fails when a tracked C++ file does not match .clang-format; says "skipped" (the
# test's skip pattern) when clang-format or git is missing or there is no checkout.
find_program(CLANG_FORMAT clang-format)
find_program(GIT git)
if(NOT CLANG_FORMAT OR NOT GIT)
    message("format: clang-format or git not found (scripts/setup installs them); skipped")
    return()
endif()
execute_process(COMMAND ${GIT} ls-files -- *.cpp *.h
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE listed OUTPUT_VARIABLE files
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT listed EQUAL 0)
    message("format: ${SOURCE_DIR} is not a git checkout; skipped")
    return()
endif()
string(REPLACE "\n" ";" files "${files}")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "format: files above do not match .clang-format (clang-format -i them)")
endif()
