# Cross-compiles Orvanta for 64-bit Windows with mingw-w64: the tests' build on
# kernels that run no 32-bit code (see scripts/wine-env).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVANTA_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
