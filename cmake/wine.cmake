# A Windows cross build runs its tests under wine: ctest starts every test
# program through CMAKE_CROSSCOMPILING_EMULATOR, set here to the wine loader
# for the build's word size, with a wine prefix of the build's own.
#   64-bit: /usr/lib/wine/wine64 (Debian package wine64), a win64 prefix
#   32-bit: /usr/lib/wine/wine (wine32:i386), a win32 prefix
# The loader is named directly rather than through the wrapper /usr/bin/wine,
# which takes wine32 whenever it is installed, even where the kernel cannot
# run it. When the loader is missing or cannot start here, the emulator stays
# unset, DENOISE_WINE_PROBLEM says why, and tests/CMakeLists.txt registers
# the suite as not run.
if(NOT (CMAKE_CROSSCOMPILING AND WIN32) OR CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DENOISE_WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "wine loader the 64-bit tests run under")
  set(DENOISE_WINE_ARCH win64)
  set(DENOISE_WINE_PACKAGE wine64)
else()
  set(DENOISE_WINE_LOADER /usr/lib/wine/wine CACHE FILEPATH "wine loader the 32-bit tests run under")
  set(DENOISE_WINE_ARCH win32)
  set(DENOISE_WINE_PACKAGE "wine32, an i386 one: dpkg --add-architecture i386 first")
endif()
set(DENOISE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "wine prefix the tests run in")

set(DENOISE_WINE_PROBLEM "")
if(NOT EXISTS "${DENOISE_WINE_LOADER}")
  set(DENOISE_WINE_PROBLEM "${DENOISE_WINE_LOADER} is not installed (Debian package ${DENOISE_WINE_PACKAGE})")
else()
  # --version needs no prefix: it shows only whether the loader starts.
  execute_process(COMMAND "${DENOISE_WINE_LOADER}" --version RESULT_VARIABLE started
                  OUTPUT_QUIET ERROR_VARIABLE said TIMEOUT 60)
  if(NOT started EQUAL 0)
    # Where the kernel refuses 32-bit programs, the reason is that.
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/tools/runs_32bit_programs.sh
                    RESULT_VARIABLE runs OUTPUT_VARIABLE refused OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT runs EQUAL 0)
      set(said "${refused}")
    endif()
    string(STRIP "${said}" said)
    set(DENOISE_WINE_PROBLEM "${DENOISE_WINE_LOADER} cannot start here: ${said}")
  endif()
endif()

if(DENOISE_WINE_PROBLEM)
  message(STATUS "wine: ${DENOISE_WINE_PROBLEM}; the test programs are built but ctest cannot run them")
  return()
endif()
# mscoree and mshtml off: a console program needs no Mono or Gecko, and a
# fresh prefix then asks to install neither.
set(DENOISE_WINE_ENV env WINEPREFIX=${DENOISE_WINEPREFIX} WINEARCH=${DENOISE_WINE_ARCH} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= WINELOADER=${DENOISE_WINE_LOADER})
set(CMAKE_CROSSCOMPILING_EMULATOR ${DENOISE_WINE_ENV} ${DENOISE_WINE_LOADER})
# The server and wine's own background programs, started once before the
# tests (the ctest fixture `wine`, tests/CMakeLists.txt) with their output
# going nowhere: started by a test instead, they would hold that test's
# output open until they leave, and ctest would wait for them.
get_filename_component(loader_folder "${DENOISE_WINE_LOADER}" DIRECTORY)
set(DENOISE_WINE_START ${DENOISE_WINE_ENV} sh -c
    "('${loader_folder}/wineserver' -p60 || true) </dev/null >/dev/null 2>&1 && '${DENOISE_WINE_LOADER}' wineboot </dev/null >/dev/null 2>&1")
message(STATUS "wine: the tests run under ${DENOISE_WINE_LOADER} in ${DENOISE_WINEPREFIX}")
