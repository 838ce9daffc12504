# Replays the kept fuzz inputs and the fuzz seeds through the fuzz targets' code paths.
brk_add_test(tst_fuzzregress
    SOURCES tst_fuzzregress.cpp
            ${CMAKE_CURRENT_LIST_DIR}/../fuzz/fuzzpaths.cpp
            ${CMAKE_CURRENT_LIST_DIR}/../fuzz/fuzzpaths.h
    LIBS brk_model)
target_include_directories(tst_fuzzregress PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../fuzz)
target_compile_definitions(tst_fuzzregress PRIVATE
    FUZZ_CASES_DIR="${CMAKE_CURRENT_LIST_DIR}/data/fuzz"
    FUZZ_SEEDS_DIR="${CMAKE_CURRENT_LIST_DIR}/../fuzz/corpus")
