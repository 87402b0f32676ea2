# The libFuzzer targets fuzz_<name>, in ${CMAKE_BINARY_DIR}/fuzz-bin, seeded
# from fuzz/corpus/<name>/ (make fuzz).
set(PIKO_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz-bin)
function(piko_fuzzer name entry)
  add_executable(fuzz_${name} ${CMAKE_CURRENT_LIST_DIR}/fuzz_main.cpp ${ARGN})
  target_compile_definitions(fuzz_${name} PRIVATE PIKO_FUZZ_ENTRY=${entry})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PIKO_FUZZ_BIN_DIR})
endfunction()

piko_fuzzer(ini FeedSoundMixIni ${CMAKE_CURRENT_LIST_DIR}/ini_entry.cpp)
piko_fuzzer(ops FeedMixerOps ${CMAKE_CURRENT_LIST_DIR}/ops_entry.cpp)
piko_fuzzer(wave FeedWaveImage ${CMAKE_CURRENT_LIST_DIR}/wave_entry.cpp)
foreach(n ini ops wave)
  target_link_libraries(fuzz_${n} PRIVATE piko_mixer)
endforeach()
# my.dat's reader alone, with bounds-checked std::array and string access so
# a slot past 255 aborts.
piko_fuzzer(mydat FeedMyDat ${CMAKE_CURRENT_LIST_DIR}/mydat_entry.cpp ${PROJECT_SOURCE_DIR}/app/save_file.cpp
            ${PROJECT_SOURCE_DIR}/platform/cp932.cpp ${PROJECT_SOURCE_DIR}/platform/file.cpp)
target_include_directories(fuzz_mydat PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(fuzz_mydat PRIVATE _GLIBCXX_ASSERTIONS)
