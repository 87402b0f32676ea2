# my.dat reader fuzzer. Fuzz targets are named fuzz_<name>, land in
# ${PIKO_FUZZ_BIN_DIR} and keep their seeds in fuzz/corpus/<name>/.
set(PIKO_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz-bin)
add_executable(fuzz_mydat
  ${CMAKE_CURRENT_LIST_DIR}/load_pet_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/app/save_file.cpp
  ${PROJECT_SOURCE_DIR}/platform/cp932.cpp
  ${PROJECT_SOURCE_DIR}/platform/file.cpp)
target_include_directories(fuzz_mydat PRIVATE ${PROJECT_SOURCE_DIR})
# Bounds-checked std::array and string access, so a slot past 255 aborts.
target_compile_definitions(fuzz_mydat PRIVATE _GLIBCXX_ASSERTIONS)
target_compile_options(fuzz_mydat PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(fuzz_mydat PRIVATE -fsanitize=fuzzer,address,undefined)
set_target_properties(fuzz_mydat PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PIKO_FUZZ_BIN_DIR})
