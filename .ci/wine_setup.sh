# Sourced by the CI scripts that build and run the Windows programs
# (.ci/windows.sh, .ci/packages.sh). wine_setup installs what a fresh
# machine lacks: both cross compilers, GoogleTest's sources, wine and
# wine64, and, where this kernel runs 32-bit programs, wine32 (an i386
# package). Then it sets
#   WINE64_PROBLEM, WINE32_PROBLEM  why that wine cannot run a program here,
#                                   empty where it can (its prefix made then)
#   WINDOWS_SKIP                    why nothing Windows can be done here at
#                                   all, empty otherwise
# and fails only when no wine runs.
# shellcheck source=tests/windows/wine_env.sh
source tests/windows/wine_env.sh
export DEBIAN_FRONTEND=noninteractive

# windows_install [--with-recommends] PACKAGE...: one apt-get run.
windows_install() {
  local recommends=--no-install-recommends
  if [ "$1" = --with-recommends ]; then recommends=; shift; fi
  echo "windows: installing $*"
  # shellcheck disable=SC2086  # no option at all when recommends are wanted
  apt-get update -q >/dev/null && apt-get install -y -q $recommends "$@" >/dev/null
}

wine_setup() {
  local missing=() reason
  WINDOWS_SKIP=
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  command -v wine >/dev/null || missing+=(wine)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  # A console program needs none of wine's recommended desktop packages;
  # they are fetched below only if wine will not start without them.
  if [ ${#missing[@]} -gt 0 ] && ! windows_install "${missing[@]}"; then
    WINDOWS_SKIP="apt-get could not install ${missing[*]}"
  fi
  if ! reason=$(bash tools/runs_32bit_programs.sh); then
    echo "windows: wine32 is not installed: $reason"
  elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    { dpkg --add-architecture i386 && windows_install wine32:i386; } ||
      echo "windows: apt-get could not install wine32"
  fi
  if [ -z "$WINDOWS_SKIP" ] && ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    WINDOWS_SKIP="no cross compiler could be installed"
  fi

  WINE64_PROBLEM=$(wine_problem 64)
  WINE32_PROBLEM=$(wine_problem 32)
  if [ -n "$WINE64_PROBLEM" ] && [ -n "$WINE32_PROBLEM" ] && [ -x /usr/lib/wine/wine64 ]; then
    echo "windows: wine does not run a program; adding its recommended packages"
    rm -rf "$(wine_prefix 64)" "$(wine_prefix 32)"
    windows_install --with-recommends wine wine64 || true
    WINE64_PROBLEM=$(wine_problem 64)
    WINE32_PROBLEM=$(wine_problem 32)
  fi
  if [ -n "$WINE64_PROBLEM" ] && [ -n "$WINE32_PROBLEM" ] && [ -z "$WINDOWS_SKIP" ] &&
     [ ! -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; then
    WINDOWS_SKIP="neither wine64 nor wine32 could be installed"
  fi
  [ -z "$WINE64_PROBLEM" ] || [ -z "$WINE32_PROBLEM" ]
}
