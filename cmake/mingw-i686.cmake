# Cross-builds the 32-bit Windows console program with Debian's mingw-w64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(DENOISE_MINGW_PREFIX i686-w64-mingw32)
# Matches the top-level test for 32-bit x86, which adds -msse2 -mfpmath=sse.
set(CMAKE_SYSTEM_PROCESSOR x86)
# Doubles rounded one operation at a time in SSE registers, as on x86-64.
set(DENOISE_MINGW_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
