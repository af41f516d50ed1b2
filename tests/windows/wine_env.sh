# Sourced by the scripts that run the Windows builds under wine: which wine
# runs which build, in which prefix, and why one cannot run here. Installs
# nothing (.ci/wine_setup.sh does, on a CI machine).
#
#   64-bit build (build-windows64/denoise64.exe): /usr/lib/wine/wine64
#       (Debian package wine64) in a win64 prefix, build-windows64/wineprefix
#   32-bit build (build-windows/denoise.exe): /usr/lib/wine/wine (wine32,
#       an i386 package) in a win32 prefix, build-windows/wineprefix
#
# The loaders are named directly, not through the wrapper /usr/bin/wine,
# which takes wine32 whenever it is installed, even where it cannot run;
# WINE64_LOADER and WINE32_LOADER name others.
# The prefixes are those cmake/wine.cmake gives ctest in the same folders.
WINDOWS_ROOT=${WINDOWS_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WINDOWS32_BUILD_DIR=${WINDOWS32_BUILD_DIR:-$WINDOWS_ROOT/build-windows}
WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$WINDOWS_ROOT/build-windows64}
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: a console program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_loader() { if [ "$1" = 64 ]; then echo "${WINE64_LOADER:-/usr/lib/wine/wine64}"; else echo "${WINE32_LOADER:-/usr/lib/wine/wine}"; fi; }
wine_prefix() { if [ "$1" = 64 ]; then echo "$WINDOWS64_BUILD_DIR/wineprefix"; else echo "$WINDOWS32_BUILD_DIR/wineprefix"; fi; }
windows_build_dir() { if [ "$1" = 64 ]; then echo "$WINDOWS64_BUILD_DIR"; else echo "$WINDOWS32_BUILD_DIR"; fi; }
windows_program() { if [ "$1" = 64 ]; then echo "$WINDOWS64_BUILD_DIR/denoise64.exe"; else echo "$WINDOWS32_BUILD_DIR/denoise.exe"; fi; }

# in_wine BITS COMMAND...: runs a Windows program under that build's wine.
in_wine() {
  local bits=$1 loader
  shift
  loader=$(wine_loader "$bits")
  WINEPREFIX=$(wine_prefix "$bits") WINEARCH=win$bits WINELOADER=$loader "$loader" "$@"
}

# wine_problem BITS: prints why that wine cannot run a program here, and
# fails; prints nothing when it can. The first run makes the prefix (about
# 15 s), which later runs reuse.
wine_problem() {
  local bits=$1 loader said reason
  loader=$(wine_loader "$bits")
  if [ ! -x "$loader" ]; then
    if [ "$bits" = 64 ]; then
      echo "wine64 is not installed (apt-get install wine64)"
    elif ! reason=$(bash "$WINDOWS_ROOT/tools/runs_32bit_programs.sh"); then
      echo "$reason, so wine32 cannot run here"
    else
      echo "wine32 is not installed (dpkg --add-architecture i386; apt-get update; apt-get install wine32)"
    fi
    return 1
  fi
  if ! said=$("$loader" --version 2>&1); then
    said=$(tail -1 <<<"${said:-no reason given}" | sed 's/^.*: line [0-9]*: //; s/^[^ ]*: //')
    reason=
    [ "$bits" = 32 ] && reason=$(bash "$WINDOWS_ROOT/tools/runs_32bit_programs.sh")
    if [ -n "$reason" ]; then
      echo "$reason, so wine32 cannot start ($loader: $said)"
    else
      echo "$loader does not start: $said"
    fi
    return 1
  fi
  mkdir -p "$(wine_prefix "$bits")"
  said=$(WINEPREFIX=$(wine_prefix "$bits") WINEARCH=win$bits WINELOADER=$loader \
    timeout 300 "$loader" cmd /c echo wine-runs </dev/null 2>&1 | tr -d '\r')
  if [ "$(tail -1 <<<"$said")" != wine-runs ]; then
    echo "$loader starts but does not run a program in $(wine_prefix "$bits"): $(tail -1 <<<"$said")"
    return 1
  fi
}
