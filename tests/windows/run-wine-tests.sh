#!/usr/bin/env bash
# A Windows build run under wine, side by side with the Linux build: the
# same pictures and answers in twin folders, then the transcripts (LF turned
# into the CRLF of a Windows text-mode console), the exit statuses and every
# file left behind must agree byte for byte. Then what only Windows has:
# names that differ in letter case, the read-only attribute, and the mode 2
# table of the build's own pow against the Linux build's. What ctest runs in
# the build's own folder (the unit, differential and every-path tests) is
# not repeated here.
#
#   bash tests/windows/run-wine-tests.sh 32|64
#   LINUX_BUILD_DIR    the Linux build with denoise and make_sample (build/)
#   WINDOWS32_BUILD_DIR, WINDOWS64_BUILD_DIR  the cross builds (tests/windows/wine_env.sh)
#   KEEP_WORK=1        keep the temporary folders for inspection
#   SKIP_BIG=1         leave out the 2000 x 2000 runs (while working on the rest)
set -euo pipefail

BITS=${1:?usage: run-wine-tests.sh 32|64}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tests/windows/wine_env.sh
source "$ROOT/tests/windows/wine_env.sh"
LINUX_BUILD_DIR=$(cd "${LINUX_BUILD_DIR:-$ROOT/build}" && pwd)
WINDOWS_BUILD_DIR=$(windows_build_dir "$BITS")
LINUX_PROGRAM=$LINUX_BUILD_DIR/denoise
MAKE_SAMPLE=$LINUX_BUILD_DIR/make_sample
WINDOWS_PROGRAM=$(windows_program "$BITS")
if [ "$BITS" = 64 ]; then TOOLCHAIN=$ROOT/cmake/mingw-x86_64.cmake; else TOOLCHAIN=$ROOT/cmake/mingw-i686.cmake; fi
export WINEPREFIX WINEARCH=win$BITS WINELOADER
WINEPREFIX=$(wine_prefix "$BITS")
WINELOADER=$(wine_loader "$BITS")

for needed in "$LINUX_PROGRAM" "$MAKE_SAMPLE" "$WINDOWS_PROGRAM"; do
  [ -x "$needed" ] || { echo "missing $needed: run 'make build windows' first" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/denoise-wine-XXXXXX")
cleanup() { if [ "${KEEP_WORK:-0}" = 1 ]; then echo "work kept in $WORK"; else rm -rf "$WORK"; fi; }
trap cleanup EXIT

passed=0
failed=0
failures=()
pass() { passed=$((passed + 1)); }
fail() {
  if [ -n "${KNOWN_DIFFERENCE:-}" ]; then
    echo "  known difference, $KNOWN_DIFFERENCE: $1"
    known_seen=1
    return 0
  fi
  failed=$((failed + 1))
  failures+=("$1")
  echo "FAIL: $1"
}

# ---------------------------------------------------------------- wine ---

start_wine() {
  # One server for all the runs below; it leaves by itself once idle. Wine's
  # own background processes start here too, so that none of them holds
  # this script's output open. The prefix is made on the first run.
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wineserver -p20 </dev/null >/dev/null 2>&1 || true  # or one is running already
  "$WINELOADER" wineboot </dev/null >/dev/null 2>&1
}

# ------------------------------------------------------------ pictures ---

PICTURES=$WORK/pictures
mkdir -p "$PICTURES"

sample() {  # NAME make_sample-options...
  local name=$1
  shift
  "$MAKE_SAMPLE" "$@" "$PICTURES/$name.bmp"
}

# Overwrites bytes of a file in place: FILE OFFSET printf-escaped-bytes.
poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

make_pictures() {
  sample small --width 37 --height 23 --seed 5
  sample tall16 --width 21 --height 16 --seed 6
  sample topdown --width 30 --height 17 --seed 8 --top-down
  sample v4 --width 31 --height 15 --seed 9 --header 108 --top-down
  sample v5 --width 29 --height 19 --seed 10 --header 124
  sample random --width 40 --height 40 --seed 11 --kind random
  sample clean --width 33 --height 21 --seed 12 --kind clean
  sample one --width 1 --height 1 --seed 13
  sample frame --width 5 --height 4 --seed 14
  sample hundred --width 100 --height 100 --seed 15
  sample toolarge --width 8193 --height 3 --seed 16
  sample big --width 2000 --height 2000 --seed 7

  # Broken files, each refused for its own reason.
  local small=$PICTURES/small.bmp
  : >"$PICTURES/empty.bmp"
  head -c 20 "$small" >"$PICTURES/shortheader.bmp"
  head -c 1000 "$small" >"$PICTURES/shortpixels.bmp"
  cp "$small" "$PICTURES/notbmp.bmp" && poke "$PICTURES/notbmp.bmp" 0 'XM'
  cp "$small" "$PICTURES/core.bmp" && poke "$PICTURES/core.bmp" 14 '\x0c\x00\x00\x00'
  cp "$small" "$PICTURES/offset.bmp" && poke "$PICTURES/offset.bmp" 10 '\xff\xff\xff\x00'
  cp "$small" "$PICTURES/eightbit.bmp" && poke "$PICTURES/eightbit.bmp" 28 '\x08\x00'
  cp "$small" "$PICTURES/compressed.bmp" && poke "$PICTURES/compressed.bmp" 30 '\x01\x00\x00\x00'
  cp "$small" "$PICTURES/nowidth.bmp" && poke "$PICTURES/nowidth.bmp" 18 '\x00\x00\x00\x00'
}

# ---------------------------------------------------------- the pairs ---

CASES=$WORK/cases

# CASE [PICTURE...]: twin folders lin/ and win/ holding the same pictures.
prepare() {
  local case_dir=$CASES/$1
  shift
  mkdir -p "$case_dir/lin" "$case_dir/win"
  local picture
  for picture in "$@"; do
    # Copies, not links: a build that wrote over its input in place must
    # not reach the other build's folder or the originals.
    cp "$PICTURES/$picture.bmp" "$case_dir/lin/"
    cp "$PICTURES/$picture.bmp" "$case_dir/win/"
  done
}

# Runs a program in a folder with answers on stdin; records its exit status.
# A size limit (KiB) stands in for a full disk: writes past it fail.
run_in() {  # FOLDER ANSWERS OUT STATUS LIMIT_KB PROGRAM...
  local folder=$1 answers=$2 out=$3 status_file=$4 limit=$5
  shift 5
  local status=0
  (
    cd "$folder"
    if [ "$limit" != - ]; then
      trap '' XFSZ
      ulimit -f "$limit"
    fi
    # A hung run must not hold CI: far beyond the slowest 2000 x 2000 run.
    exec timeout "${RUN_TIMEOUT:-900}" "$@"
  ) <"$answers" >"$out" 2>"$out.err" || status=$?
  echo "$status" >"$status_file"
}

crlf() { perl -pe 's/\n/\r\n/g' "$1"; }

listing() { (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort); }

# Where two files first differ, for the failure message.
first_difference() { cmp "$1" "$2" 2>&1 | sed -n 's/.* differ: /first difference at /p'; }

# CASE LABEL ANSWERS [LIMIT_KB]: one run of each build in the case's twin
# folders (both at once), then everything compared. The label names the run
# when a case has several.
run_pair() {
  local name=$1 label=$2 answers=$3 limit=${4:--}
  local case_dir=$CASES/$name
  local what="$name/$label"
  printf '%s' "$answers" >"$case_dir/$label.answers"
  # Answers typed on Windows end in CRLF; its text-mode stdin drops the CR.
  if [ "${CRLF_ANSWERS:-0}" = 1 ]; then
    crlf "$case_dir/$label.answers" >"$case_dir/$label.win.answers"
  else
    cp "$case_dir/$label.answers" "$case_dir/$label.win.answers"
  fi
  run_in "$case_dir/lin" "$case_dir/$label.answers" "$case_dir/$label.lin.out" "$case_dir/$label.lin.status" \
    "$limit" "$LINUX_PROGRAM" &
  run_in "$case_dir/win" "$case_dir/$label.win.answers" "$case_dir/$label.win.out" "$case_dir/$label.win.status" \
    "$limit" "$WINELOADER" "$WINDOWS_PROGRAM" &
  wait

  local ok=1
  local lin_status win_status
  lin_status=$(cat "$case_dir/$label.lin.status")
  win_status=$(cat "$case_dir/$label.win.status")
  if [ "$lin_status" != "$win_status" ]; then
    fail "$what: exit status linux $lin_status, windows $win_status"
    ok=0
  fi
  crlf "$case_dir/$label.lin.out" >"$case_dir/$label.lin.crlf"
  if ! cmp -s "$case_dir/$label.lin.crlf" "$case_dir/$label.win.out"; then
    fail "$what: console bytes differ ($(first_difference "$case_dir/$label.lin.crlf" "$case_dir/$label.win.out"))"
    [ -s "$case_dir/$label.win.out.err" ] && head -5 "$case_dir/$label.win.out.err"
    ok=0
  fi
  rm -f "$case_dir/$label.lin.crlf"
  if [ "$(listing "$case_dir/lin")" != "$(listing "$case_dir/win")" ]; then
    fail "$what: files left differ: linux [$(listing "$case_dir/lin" | tr '\n' ' ')] windows [$(listing "$case_dir/win" | tr '\n' ' ')]"
    ok=0
  else
    local file
    while IFS= read -r file; do
      [ -f "$case_dir/lin/$file" ] || continue
      if ! cmp -s "$case_dir/lin/$file" "$case_dir/win/$file"; then
        fail "$what: $file differs ($(first_difference "$case_dir/lin/$file" "$case_dir/win/$file"))"
        ok=0
      fi
    done < <(listing "$case_dir/lin")
  fi
  [ "$ok" = 1 ] && pass
  return 0
}

# A case of one run on a fresh pair of folders.
case_of() {  # NAME ANSWERS PICTURE...
  local name=$1 answers=$2
  shift 2
  prepare "$name" "$@"
  run_pair "$name" run "$answers"
}

windows_out() { echo "$CASES/$1/$2.win.out"; }

# The Windows transcript holds this ASCII text (progress values are ASCII).
expect_in_output() {  # CASE LABEL TEXT
  if grep -qaF -- "$3" "$(windows_out "$1" "$2")"; then pass; else fail "$1/$2: '$3' not printed"; fi
}
expect_not_in_output() {
  if grep -qaF -- "$3" "$(windows_out "$1" "$2")"; then fail "$1/$2: '$3' printed"; else pass; fi
}

# The cases, each a check_* function using the above.
# shellcheck source=tests/windows/wine_cases.sh
source "$ROOT/tests/windows/wine_cases.sh"

main() {
  start_wine
  echo "making the pictures"
  make_pictures
  echo "checking the filter modes";   check_modes
  check_console_encoding
  echo "checking the refusals";       check_refusals
  echo "checking replacing outputs";  check_replacing
  echo "checking file safety";        check_file_safety
  echo "checking typing slips";       check_typing_slips
  echo "checking the blend table";    check_blend_table
  echo "known differences";           report_known_differences
  if [ "${SKIP_BIG:-0}" != 1 ]; then echo "checking 2000 x 2000 pictures"; check_big; fi
  echo "windows $BITS-bit against Linux: $passed checks passed, $failed failed"
  if [ "$failed" -gt 0 ]; then
    printf '  %s\n' "${failures[@]}"
    exit 1
  fi
}

main "$@"
