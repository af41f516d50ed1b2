# What both Windows toolchain files share; each sets DENOISE_MINGW_PREFIX
# and CMAKE_SYSTEM_PROCESSOR first, then includes this file.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model, whose C++ library is the complete one in gcc 12
# (the win32 model lacks parts of it). The program's work runs on one
# thread (a second, made with CreateThread, only reads the answers); the
# model's runtime is linked in statically below.
set(CMAKE_C_COMPILER ${DENOISE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DENOISE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DENOISE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DENOISE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# __USE_MINGW_ANSI_STDIO=1 selects mingw-w64's own printf/scanf family: it
# rounds "%.1f" ties to even like glibc (18.75 -> 18.8, 31.25 -> 31.2) and
# reads "nan"/"inf", where msvcrt.dll rounds ties away from zero and does not.
set(CMAKE_C_FLAGS_INIT "${DENOISE_MINGW_FLAGS} -ffp-contract=off -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "${DENOISE_MINGW_FLAGS} -ffp-contract=off -D__USE_MINGW_ANSI_STDIO=1")

# One .exe that runs on a bare Windows: no libstdc++/libgcc/winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
