# Cross-builds the 64-bit Windows console program with Debian's mingw-w64:
#   cmake -S . -B build-windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
# x86_64 makes the top-level CMakeLists.txt build the AVX2 and AVX-512 paths,
# as for the Linux x86-64 build.
set(DENOISE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DENOISE_MINGW_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
