# Cross-builds the 32-bit Windows console program with Debian's mingw-w64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DDENOISE_BUILD_TESTS=OFF
set(CMAKE_SYSTEM_NAME Windows)
# Matches the top-level test for 32-bit x86, which adds -msse2 -mfpmath=sse.
set(CMAKE_SYSTEM_PROCESSOR x86)

# The posix thread model, whose C++ library is the complete one in gcc 12
# (the win32 model lacks parts of it). The program's work runs on one
# thread (a second, made with CreateThread, only reads the answers); the
# model's runtime is linked in statically below.
set(DENOISE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${DENOISE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DENOISE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DENOISE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DENOISE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles rounded one operation at a time in SSE registers, as on x86-64.
# __USE_MINGW_ANSI_STDIO=1 selects mingw-w64's own printf/scanf family: it
# rounds "%.1f" ties to even like glibc (18.75 -> 18.8, 31.25 -> 31.2) and
# reads "nan"/"inf", where msvcrt.dll rounds ties away from zero and does not.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -D__USE_MINGW_ANSI_STDIO=1")

# One .exe that runs on a bare Windows: no libstdc++/libgcc/winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
