# Wave loader fuzzer: arbitrary bytes as a memory image, into every session format.
set(PIKO_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz-bin)
add_executable(fuzz_wave ${CMAKE_CURRENT_LIST_DIR}/wave_fuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/wave_entry.cpp)
target_compile_options(fuzz_wave PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_wave PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_wave PRIVATE piko_mixer)
set_target_properties(fuzz_wave PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PIKO_FUZZ_BIN_DIR})
