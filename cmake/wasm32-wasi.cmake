# The browser's oven: clang++ for WebAssembly with WASI's C library, all from
# Debian's packages (clang, lld, wasi-libc, libc++-dev-wasm32,
# libclang-rt-dev-wasm32). No download at build time.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
# The module is a library for the page, not a program with a main.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mexec-model=reactor")
# WebAssembly has no exceptions here: the C++ library's checks abort.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions")
