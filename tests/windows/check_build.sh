#!/usr/bin/env bash
# What can be checked of a Windows build without running it, on any machine
# with the cross binutils:
#  - the program is a console program of its word size (PE32 or PE32+, CUI);
#  - it imports only DLLs every Windows has (no libstdc++, libgcc or
#    winpthread DLLs: it is linked statically);
#  - the compile lines hold the flags every output byte depends on;
#  - the program's own code (libdenoise_core.a and main) does no x87
#    arithmetic, so every double is rounded as on the other builds. The
#    32-bit calling convention returns a double in an x87 register: the
#    fld/fstp of a double that carry it, and fabs/fchs, which only touch
#    the sign bit, round nothing and are allowed.
# The x87 check is first shown to catch a product compiled for x87.
#   bash tests/windows/check_build.sh BUILD_DIR 32|64
set -uo pipefail

build=${1:?usage: check_build.sh BUILD_DIR 32|64}
bits=${2:?usage: check_build.sh BUILD_DIR 32|64}
case $bits in
  32) program=$build/denoise.exe magic='010b (PE32)' compiler=i686-w64-mingw32-g++-posix ;;
  64) program=$build/denoise64.exe magic='020b (PE32+)' compiler=x86_64-w64-mingw32-g++-posix ;;
  *) echo "check_build.sh: 32 or 64, not $bits" >&2; exit 2 ;;
esac

failed=0
fail() { echo "windows $bits-bit: FAILED: $1"; failed=$((failed + 1)); }
[ -f "$program" ] || { fail "no $program: build it first (make windows)"; exit 1; }

headers=$(objdump -p "$program")
[ "$(awk '$1 == "Magic" { print $2, $3 }' <<<"$headers")" = "$magic" ] || fail "$program is not $magic"
grep -q '^Subsystem.*(Windows CUI)' <<<"$headers" || fail "$program is not a console (CUI) program"

# DLLs of Windows itself; anything else would have to travel beside the .exe.
dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for dll in $dlls; do
  case $dll in
    kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | ntdll.dll | shell32.dll) ;;
    *) fail "$program imports $dll, which Windows does not have" ;;
  esac
done

flags=$build/CMakeFiles/denoise_core.dir/flags.make
wanted=(-ffp-contract=off -D__USE_MINGW_ANSI_STDIO=1 -fexec-charset=CP932)
[ "$bits" = 32 ] && wanted+=(-msse2 -mfpmath=sse)
for flag in "${wanted[@]}"; do
  grep -q -- "$flag" "$flags" || fail "$flag is missing from the compile lines ($flags)"
done

# x87_arithmetic OBJECT...: the x87 instructions that round, one a line.
x87_arithmetic() {
  objdump -d -M intel --no-show-raw-insn "$@" |
    awk '$1 !~ /^[0-9a-f]+:$/ { next }
         $2 ~ /^f/ && $2 !~ /^(fld|fst|fstp|fxch|fabs|fchs|fldz|fld1)$/ { print; next }
         $2 ~ /^fstp?$/ && $3 !~ /^(QWORD|st)/ { print }'
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'double product(double a, double b) { return a * b + 1.0; }\n' >"$work/x87.cpp"
if "$compiler" -O2 -mfpmath=387 -c "$work/x87.cpp" -o "$work/x87.obj" 2>/dev/null; then
  [ -n "$(x87_arithmetic "$work/x87.obj")" ] || fail "the x87 check misses a product compiled for x87"
else
  fail "$compiler could not compile the x87 check's control"
fi
own=("$build/libdenoise_core.a" "$build/CMakeFiles/denoise.dir/src/front/main.cpp.obj")
found=$(x87_arithmetic "${own[@]}")
[ -z "$found" ] || fail "x87 arithmetic in the program's own code: $(head -3 <<<"$found" | tr -s ' \t' ' ')"

if [ "$failed" -gt 0 ]; then exit 1; fi
kind=${magic#*(}
echo "windows $bits-bit: $(basename "$program") is a ${kind%)} console program importing only ${dlls% }; its compile lines hold ${wanted[*]}; its own code does no x87 arithmetic"
