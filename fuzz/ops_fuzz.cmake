# Mixer operations fuzzer: arbitrary bytes as a sequence of calls on the virtual device.
set(PIKO_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz-bin)
add_executable(fuzz_ops ${CMAKE_CURRENT_LIST_DIR}/ops_fuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/ops_entry.cpp)
target_compile_options(fuzz_ops PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_ops PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_ops PRIVATE piko_mixer)
set_target_properties(fuzz_ops PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PIKO_FUZZ_BIN_DIR})
