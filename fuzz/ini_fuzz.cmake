# SOUNDMIX.INI fuzzer: arbitrary file bytes through the profile lookup and whole sessions.
set(PIKO_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz-bin)
add_executable(fuzz_ini ${CMAKE_CURRENT_LIST_DIR}/ini_fuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/ini_entry.cpp)
target_compile_options(fuzz_ini PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_ini PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_ini PRIVATE piko_mixer)
set_target_properties(fuzz_ini PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PIKO_FUZZ_BIN_DIR})
