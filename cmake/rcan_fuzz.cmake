# Fuzzing build: libFuzzer needs clang. The library and the fuzz executables get coverage
# instrumentation and the address and undefined-behaviour checks (tests/fuzz/CMakeLists.txt), so
# a fault anywhere on the path of the fuzzed bytes stops the run; build-time helpers such as the
# picture generator stay plain.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "RCAN_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
endif()
set(RCAN_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
