# Cross-compiles Orvanta for 64-bit Windows with mingw-w64 (posix thread model,
# so std::thread and std::mutex exist), linking everything statically: the
# tests' build on kernels that run no 32-bit code (see scripts/wine-env).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANTA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${ORVANTA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANTA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${ORVANTA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No DLLs to ship: libgcc, libstdc++ and winpthread go into every executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
