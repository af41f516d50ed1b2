# Sourced by the CI scripts that run the Windows build under wine: installs
# the cross compiler and wine when missing and checks that wine runs a
# program. wine_ready returns non-zero with the reason in WINE_PROBLEM when
# this machine cannot; the caller says so and skips.
export DEBIAN_FRONTEND=noninteractive
export WINEDEBUG=-all
export WINEARCH=win32
export WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wineprefix}
export WINEDLLOVERRIDES="mscoree=;mshtml="
WINE_PROBLEM=

have_tools() {
  command -v i686-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null &&
    dpkg -s wine32:i386 >/dev/null 2>&1
}

# A console program needs none of wine's recommended desktop packages; they
# are fetched only when wine will not start without them.
install_tools() {
  dpkg --add-architecture i386 || return 1
  apt-get update -q || return 1
  apt-get install -y -q "$@" g++-mingw-w64-i686 wine wine32 || return 1
}

wine_runs() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i </dev/null >/dev/null 2>&1 || return 1
  fi
  local said
  said=$(timeout 120 wine cmd /c echo wine-runs </dev/null 2>/dev/null | tr -d '\r')
  [ "$said" = wine-runs ]
}

wine_ready() {
  if ! have_tools; then
    echo "windows: installing the cross compiler and wine"
    install_tools --no-install-recommends || {
      WINE_PROBLEM="apt-get could not install g++-mingw-w64-i686, wine and wine32"
      return 1
    }
  fi
  if ! wine_runs; then
    echo "windows: wine does not start; adding its recommended packages"
    rm -rf "$WINEPREFIX"
    install_tools || { WINE_PROBLEM="apt-get could not install wine's recommended packages"; return 1; }
    wine_runs || { WINE_PROBLEM="wine is installed but does not run programs here"; return 1; }
  fi
}
