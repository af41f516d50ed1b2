# The cases of run-wine-tests.sh, sourced by it: each check_* function runs
# pairs of the Linux and the Windows program with run_pair or case_of and
# counts with pass and fail (all defined there).

check_console_encoding() {
  local stars
  stars=$(printf '%s\r\n' '☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆' | iconv -f UTF-8 -t CP932 | od -v -An -tx1 | tr -d ' \n')
  local first
  first=$(head -c $(( ${#stars} / 2 )) "$(windows_out modes-small mode9)" | od -v -An -tx1 | tr -d ' \n')
  if [ "$first" = "$stars" ]; then pass; else fail "console: banner is not CP932 text ending in CRLF"; fi
}

check_modes() {
  local picture
  case_of modes-small-0 $'small\nout\n0\n' small
  for coefficient in 0 5 20 33.3 100 -1 nan inf -inf abc; do
    case_of "modes-small-1-$coefficient" "small"$'\n'"out"$'\n'"1"$'\n'"$coefficient"$'\n' small
  done
  case_of modes-small-2 $'small\nout\n2\n' small
  for preset in 1 2 3 7; do
    case_of "modes-small-3-preset$preset" "small"$'\n'"out"$'\n'"3"$'\n'"$preset"$'\n' small
  done
  case_of modes-small-3-typed $'small\nout\n3\n4\n0.3\n0.001\n' small
  case_of modes-small-3-typed-exponent $'small\nout\n3\n4\n5e-2\n3E-3\n' small
  case_of modes-small-3-typed-nan $'small\nout\n3\n4\nnan\n0\n' small
  case_of modes-small-3-typed-inf $'small\nout\n3\n4\ninf\n-inf\n' small
  case_of modes-small-3-typed-ended $'small\nout\n3\n4\n0.3\n' small
  prepare modes-small small
  run_pair modes-small mode9 $'small\nout\n9\n'
  run_pair modes-small mode-1 $'small\nout2\n-1\n'
  # A word where the mode belongs keeps the mode's start value: smoothing.
  case_of modes-small-word $'small\nout\nzero\n' small
  case_of modes-small-plus $'small\nout\n+2\n' small
  # Numbers past 32 bits keep their low 32 bits on both platforms.
  case_of modes-small-overflow $'small\nout\n4294967298\n' small
  case_of modes-small-underflow $'small\nout\n-4294967295\n' small
  case_of modes-small-huge $'small\nout\n99999999999999999999999\n' small
  case_of modes-small-same-name $'small\nsmall\n2\n' small
  CRLF_ANSWERS=1 case_of modes-small-crlf-answers $'small\nout\n3\n4\n0.3\n0.001\n' small

  for picture in topdown v4 v5 random clean one frame; do
    case_of "pictures-$picture-0" "$picture"$'\nout\n0\n' "$picture"
    case_of "pictures-$picture-1" "$picture"$'\nout\n1\n15\n' "$picture"
    case_of "pictures-$picture-2" "$picture"$'\nout\n2\n' "$picture"
    case_of "pictures-$picture-3" "$picture"$'\nout\n3\n1\n' "$picture"
    case_of "pictures-$picture-3-typed" "$picture"$'\nout\n3\n4\n0.5\n0.0001\n' "$picture"
  done
}

check_refusals() {
  local long94 long95 long96
  long94=$(printf 'n%.0s' $(seq 94))
  long95=$(printf 'n%.0s' $(seq 95))
  long96=$(printf 'n%.0s' $(seq 96))
  case_of refusal-missing $'nothere\nout\n0\n' small
  local broken
  for broken in empty shortheader shortpixels notbmp core offset eightbit compressed nowidth toolarge; do
    case_of "refusal-$broken" "$broken"$'\nout\n0\n' "$broken"
  done
  case_of refusal-no-folder $'small\nnofolder/out\n9\n' small
  prepare refusal-output-is-folder small
  mkdir "$CASES/refusal-output-is-folder/lin/taken.bmp" "$CASES/refusal-output-is-folder/win/taken.bmp"
  run_pair refusal-output-is-folder run $'small\ntaken\n9\n'
  case_of refusal-input-name-long "$long96"$'\nout\n0\n' small
  case_of refusal-input-name-past-buffer "$long96$long96"$'\nout\n0\n' small
  case_of refusal-output-name-long "small"$'\n'"$long96"$'\n0\n' small
  case_of refusal-renamed-long "$long94"$'\n'"$long94"$'\n0\n' small
  case_of refusal-no-answers '' small
  case_of refusal-answers-end $'small\n' small
  # The longest names accepted: 95 characters, 93 when _2 is added.
  prepare names-longest
  cp "$PICTURES/small.bmp" "$CASES/names-longest/lin/$long95.bmp"
  cp "$PICTURES/small.bmp" "$CASES/names-longest/win/$long95.bmp"
  local other95 long93
  other95=$(printf 'm%.0s' $(seq 95))
  long93=$(printf 'n%.0s' $(seq 93))
  cp "$PICTURES/small.bmp" "$CASES/names-longest/lin/$long93.bmp"
  cp "$PICTURES/small.bmp" "$CASES/names-longest/win/$long93.bmp"
  run_pair names-longest different "$long95"$'\n'"$other95"$'\n9\n'
  run_pair names-longest same "$long93"$'\n'"$long93"$'\n9\n'
  if [ -f "$CASES/names-longest/win/${long93}_2.bmp" ] && [ -f "$CASES/names-longest/win/$other95.bmp" ]; then
    pass
  else
    fail "names-longest: the longest names were not written"
  fi
}

# The output goes to a temporary file renamed over the old one at the end.
check_replacing() {
  prepare replace small random
  run_pair replace first $'small\nout\n0\n'
  run_pair replace second $'small\nout\n2\n'
  if cmp -s "$CASES/replace/win/out.bmp" "$CASES/replace/lin/out.bmp" &&
     ! cmp -s "$CASES/replace/win/out.bmp" "$CASES/replace/win/small.bmp"; then pass; else fail "replace: second run did not replace out.bmp"; fi
  # Over a file the program did not write, and beside a stale temporary name.
  run_pair replace over-random $'small\nrandom\n1\n20\n'
  if ! cmp -s "$CASES/replace/win/random.bmp" "$PICTURES/random.bmp"; then pass; else fail "replace: random.bmp not replaced"; fi
  printf 'stale' >"$CASES/replace/lin/out.bmp.0.tmp"
  printf 'stale' >"$CASES/replace/win/out.bmp.0.tmp"
  run_pair replace beside-stale $'random\nout\n9\n'
  if cmp -s "$CASES/replace/win/out.bmp" "$CASES/replace/win/random.bmp"; then pass; else fail "replace: mode 9 did not replace out.bmp"; fi

  # A write that fails part way (the file size limit) must leave the old
  # output as it was and no temporary file behind.
  prepare failed-write hundred small
  cp "$PICTURES/small.bmp" "$CASES/failed-write/lin/out.bmp"
  cp "$PICTURES/small.bmp" "$CASES/failed-write/win/out.bmp"
  run_pair failed-write run $'hundred\nout\n9\n' 16
  if [ "$(cat "$CASES/failed-write/run.win.status")" = 1 ] &&
     cmp -s "$CASES/failed-write/win/out.bmp" "$PICTURES/small.bmp"; then pass; else fail "failed-write: old out.bmp not kept"; fi
}

check_big() {
  local mode
  for mode in 0 $'1\n20' 2 $'3\n1' $'3\n4\n0.1\n0.002' 9; do
    local label=mode-${mode//$'\n'/-}
    local started=$SECONDS
    case_of "big-$label" "big"$'\nout\n'"$mode"$'\n' big
    echo "  2000 x 2000 $label: $((SECONDS - started)) s"
    # Agreement means little if neither build wrote the filtered picture.
    local written=$CASES/big-$label/win/out.bmp
    if [ -f "$written" ] && [ "$(stat -c %s "$written")" = "$(stat -c %s "$PICTURES/big.bmp")" ] &&
       { [ "$mode" = 9 ] || ! cmp -s "$written" "$PICTURES/big.bmp"; }; then
      pass
    else
      fail "big-$label: the filtered picture was not written"
    fi
    rm -rf "${CASES:?}/big-$label"
  done
}

# Mode 2's power layer calls pow, whose last bit may differ between the C
# runtimes: every byte that depends on it must still agree, for all pairs.
check_blend_table() {
  local linux_dir=$WINDOWS_BUILD_DIR/blend-linux windows_dir=$WINDOWS_BUILD_DIR/blend-windows
  cmake -S "$ROOT/tests/windows" -B "$linux_dir" -DCMAKE_BUILD_TYPE=Release \
    -DDENOISE_CORE_LIBRARY="$LINUX_BUILD_DIR/libdenoise_core.a" >/dev/null
  cmake --build "$linux_dir" >/dev/null
  cmake -S "$ROOT/tests/windows" -B "$windows_dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DDENOISE_CORE_LIBRARY="$WINDOWS_BUILD_DIR/libdenoise_core.a" >/dev/null
  cmake --build "$windows_dir" >/dev/null
  mkdir -p "$WORK/blend"
  "$linux_dir/blend_table" "$WORK/blend/linux.bytes" "$WORK/blend/linux.pow"
  "$WINELOADER" "$windows_dir/blend_table.exe" "$WORK/blend/windows.bytes" "$WORK/blend/windows.pow" </dev/null >/dev/null
  if [ "$(stat -c %s "$WORK/blend/windows.bytes")" = $((65536 * 3)) ] &&
     cmp -s "$WORK/blend/linux.bytes" "$WORK/blend/windows.bytes"; then
    pass
  else
    fail "blend table: mode 2 bytes differ ($(first_difference "$WORK/blend/linux.bytes" "$WORK/blend/windows.bytes"))"
  fi
  local pow_differences byte_differences
  pow_differences=$( (cmp -l "$WORK/blend/linux.pow" "$WORK/blend/windows.pow" || true) |
    awk '{ print int(($1 - 1) / 8) }' | sort -u | wc -l)
  byte_differences=$( (cmp -l "$WORK/blend/linux.bytes" "$WORK/blend/windows.bytes" || true) | wc -l)
  echo "  pow results differing between the runtimes: $pow_differences of 65536; table bytes differing: $byte_differences of $((65536 * 3))"
}

# Every byte that is not a pixel kept; other spellings of the input never
# replace it; a read-only output is refused. Ctrl-C is not checked: wine
# gives a program run this way no console to send it to.
check_file_safety() {
  cp "$PICTURES/v5.bmp" "$PICTURES/profile.bmp"
  printf 'a colour profile after the pixels\x00\x01\x02' >>"$PICTURES/profile.bmp"
  prepare profile profile
  run_pair profile copy $'profile\nout9\n9\n'
  run_pair profile mode2 $'profile\nout2\n2\n'
  if cmp -s "$CASES/profile/win/out9.bmp" "$PICTURES/profile.bmp" &&
     cmp -s <(tail -c 36 "$CASES/profile/win/out2.bmp") <(tail -c 36 "$PICTURES/profile.bmp"); then
    pass
  else
    fail "profile: the bytes after the pixels were not kept"
  fi

  prepare spellings small
  mkdir "$CASES/spellings/lin/sub" "$CASES/spellings/win/sub"
  run_pair spellings dot $'small\n./small\n9\n'
  run_pair spellings up $'small\nsub/../small\n9\n'
  if [ -f "$CASES/spellings/win/small_2.bmp" ] && cmp -s "$CASES/spellings/win/small.bmp" "$PICTURES/small.bmp"; then
    pass
  else
    fail "spellings: another spelling of the input replaced it"
  fi

  # The name "_2" gives the output is the input's file under another name
  # (a hard link, or a link wine follows on the host): refused, input kept.
  local link
  for link in hard symbolic; do
    prepare "renamed-$link" small
    local side
    for side in lin win; do
      mv "$CASES/renamed-$link/$side/small.bmp" "$CASES/renamed-$link/$side/small_2.bmp"
      if [ "$link" = hard ]; then
        ln "$CASES/renamed-$link/$side/small_2.bmp" "$CASES/renamed-$link/$side/small.bmp"
      else
        ln -s small_2.bmp "$CASES/renamed-$link/$side/small.bmp"
      fi
    done
    run_pair "renamed-$link" run $'small_2\nsmall\n2\n'
    if [ "$(cat "$CASES/renamed-$link/run.win.status")" = 1 ] &&
       cmp -s "$CASES/renamed-$link/win/small_2.bmp" "$PICTURES/small.bmp"; then
      pass
    else
      fail "renamed-$link: the renamed output replaced the input it names"
    fi
  done

  # Windows alone: names differing in letter case are one file there.
  prepare letter-case small
  run_in "$CASES/letter-case/win" <(printf 'small\nSMALL\n0\n') "$CASES/letter-case/win.out" \
    "$CASES/letter-case/win.status" - "$WINELOADER" "$WINDOWS_PROGRAM"
  if [ "$(cat "$CASES/letter-case/win.status")" = 0 ] && cmp -s "$CASES/letter-case/win/small.bmp" "$PICTURES/small.bmp" &&
     [ -n "$(find "$CASES/letter-case/win" -iname 'small_2.bmp')" ]; then
    pass
  else
    fail "letter-case: SMALL replaced small.bmp on Windows"
  fi

  # The read-only attribute, as wine shows a file without write permission.
  prepare read-only small
  printf 'keep' >"$CASES/read-only/win/out.bmp"
  chmod 0444 "$CASES/read-only/win/out.bmp"
  run_in "$CASES/read-only/win" <(printf 'small\nout\n9\n') "$CASES/read-only/win.out" \
    "$CASES/read-only/win.status" - "$WINELOADER" "$WINDOWS_PROGRAM"
  if [ "$(cat "$CASES/read-only/win.status")" = 1 ] && [ "$(cat "$CASES/read-only/win/out.bmp")" = keep ] &&
     [ "$(listing "$CASES/read-only/win" | tr '\n' ' ')" = "out.bmp small.bmp " ]; then
    pass
  else
    fail "read-only: a read-only output was replaced or a file was left behind"
  fi
}

# Full-width numbers (UTF-8 and Shift-JIS), a byte-order mark before the
# first answer and CRLF lines: Windows reads them through its answer thread
# and pipe, Linux through its stream, and both must read what Linux's tests
# check. Then the names that end in a folder separator.
check_typing_slips() {
  local three=$'\xef\xbc\x93' four=$'\x82\x53' point=$'\xef\xbc\x8e' zero=$'\x82\x4f' minus=$'\xef\xbc\x8d'
  case_of slips-full-width "small"$'\n'"out"$'\n'"$three"$'\n'"$four"$'\n'"$zero$point"$'\x82\x54\n'"0$point"$'\xef\xbc\x90\xef\xbc\x901\n' small
  case_of slips-full-width-coefficient "small"$'\n'"out"$'\n1\n\x82\x51\x82\x4f\n' small
  case_of slips-failed-read "small"$'\n'"out"$'\n3\n4\n'"$minus"$' 0'"$point"$'2\n' small
  case_of slips-mark $'\xef\xbb\xbfsmall\nout\n9\n' small
  CRLF_ANSWERS=1 case_of slips-mark-crlf $'\xef\xbb\xbfsmall\nout\n'"$three"$'\n2\n' small
  case_of slips-names-untouched $'\x82\x52\nout\n9\n' small
  prepare slips-folder-names small
  mkdir "$CASES/slips-folder-names/lin/sub" "$CASES/slips-folder-names/win/sub"
  run_pair slips-folder-names output $'small\nsub/\n9\n'
  run_pair slips-folder-names input $'sub/\nout\n9\n'
  run_pair slips-folder-names inside $'small\nsub/out\n9\n'
  # Windows alone: a backslash ends a folder there too, and "C:" is a drive.
  local answers
  for answers in $'small\nsub\\\n9\n' $'small\nC:\n9\n'; do
    prepare slips-windows-folder small
    run_in "$CASES/slips-windows-folder/win" <(printf '%s' "$answers") "$CASES/slips-windows-folder/win.out" \
      "$CASES/slips-windows-folder/win.status" - "$WINELOADER" "$WINDOWS_PROGRAM"
    if [ "$(cat "$CASES/slips-windows-folder/win.status")" = 1 ] &&
       [ "$(listing "$CASES/slips-windows-folder/win")" = small.bmp ]; then
      pass
    else
      fail "slips-windows-folder: ${answers//$'\n'/ } was not refused"
    fi
    rm -rf "${CASES:?}/slips-windows-folder"
  done
}

# Differences that come from the platforms' C libraries rather than the
# program are reported, not failed (docs/windows.md says why), and said
# plainly once they go away.
known_difference() {  # WHY CASE ANSWERS [FOLDER-TO-CREATE]
  local why=$1 name=$2 answers=$3 folder=${4:-}
  prepare "$name" small
  if [ -n "$folder" ]; then mkdir "$CASES/$name/lin/$folder" "$CASES/$name/win/$folder"; fi
  known_seen=0
  KNOWN_DIFFERENCE=$why run_pair "$name" run "$answers"
  [ "$known_seen" = 1 ] || echo "  $name: the builds now agree ($why)"
}

report_known_differences() {
  known_difference "a folder named as the input: Linux opens it and cannot read, Windows cannot open it" \
    known-input-is-folder $'folder\nout\n0\n' folder.bmp
}
