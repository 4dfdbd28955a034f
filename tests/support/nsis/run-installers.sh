#!/bin/sh
# Builds and runs one small installer per scenario and compares what it wrote.
#
# run-installers.sh MAKENSIS WINE_RUN PLUGIN_DIR WORK_DIR SCENARIO_DIR [FILTER]
#
# A scenario is a file SCENARIO_DIR/<name>.nsh: NSIS lines that run inside the
# installer's only section, plus directive comments:
#   ;expect TEXT    one expected line of the result file, in order; a TEXT
#                   starting with "~" is an extended regular expression for
#                   the whole line
#   ;env NAME=VALUE an environment variable for the installer run
# The installer wrapped around the lines (scenario.nsi.in) opens the result
# file, leaves a bottom marker on the stack and offers
#   !insertmacro KestrineResult "text"   writes one line
#   ${KESTRINE_BIN_DIR}                  the build's program folder (for File)
# After the scenario's lines it writes every text left on the stack above the
# marker as "stack: <text>", top first, or "stack: <bottom marker popped>"
# when the scenario took more than it pushed.
#
# FILTER (or the environment variable KESTRINE_SCENARIO_FILTER), when given, is
# an extended regular expression on scenario names.
set -u
makensis=$1
wine_run=$2
plugin_dir=$3
work=$4
scenarios=$5
filter=${6:-${KESTRINE_SCENARIO_FILTER:-}}
here=$(cd "$(dirname "$0")" && pwd)
template=$here/scenario.nsi.in

passed=0
failed=0
failed_names=

fail() {
  name=$1
  shift
  echo "FAIL $name: $*"
  failed=$((failed + 1))
  failed_names="$failed_names $name"
}

if ! command -v "$makensis" >/dev/null 2>&1; then
  echo "FAIL: makensis not found ($makensis); install the nsis package"
  exit 1
fi

mkdir -p "$work"
found=0
for scenario in "$scenarios"/*.nsh; do
  [ -f "$scenario" ] || continue
  name=$(basename "$scenario" .nsh)
  if [ -n "$filter" ] && ! printf '%s\n' "$name" | grep -Eq -- "$filter"; then
    continue
  fi
  found=$((found + 1))
  dir=$work/$name
  rm -rf "$dir"
  mkdir -p "$dir"

  # The script: the wrapper with the scenario's lines included.
  sed -e "s|@SCENARIO@|$scenario|" -e "s|@PLUGIN_DIR@|$plugin_dir|" "$template" > "$dir/$name.nsi"
  sed -n 's/^;expect //p' "$scenario" > "$dir/expected.txt"
  env_args=$(sed -n 's/^;env //p' "$scenario")

  if ! (cd "$dir" && "$makensis" -V2 -INPUTCHARSET UTF8 "$name.nsi") \
      > "$dir/makensis.log" 2>&1; then
    fail "$name" "makensis failed"
    sed 's/^/    /' "$dir/makensis.log"
    continue
  fi

  # shellcheck disable=SC2086 # one NAME=VALUE per word
  (cd "$dir" && env $env_args timeout 120 "$wine_run" "$dir/installer.exe" /S) \
      > "$dir/run.log" 2>&1
  rc=$?
  if [ $rc -ne 0 ]; then
    fail "$name" "installer exited with $rc"
    sed 's/^/    /' "$dir/run.log"
    continue
  fi
  if [ ! -f "$dir/result.txt" ]; then
    fail "$name" "the installer wrote no result file"
    continue
  fi
  iconv -f UTF-16LE -t UTF-8 "$dir/result.txt" | tr -d '\r' > "$dir/actual.txt"

  # Line by line: literal, or "~regex" for the whole line.
  mismatch=
  exec 3< "$dir/expected.txt" 4< "$dir/actual.txt"
  line=0
  while :; do
    IFS= read -r want <&3; more_want=$?
    IFS= read -r got <&4; more_got=$?
    [ $more_want -ne 0 ] && [ $more_got -ne 0 ] && break
    line=$((line + 1))
    if [ $more_want -ne 0 ]; then
      mismatch="line $line: unexpected \"$got\""
      break
    fi
    if [ $more_got -ne 0 ]; then
      mismatch="line $line: missing \"$want\""
      break
    fi
    case $want in
    "~"*)
      if ! printf '%s\n' "$got" | grep -Eqx -- "${want#"~"}"; then
        mismatch="line $line: \"$got\" does not match ${want#"~"}"
        break
      fi
      ;;
    *)
      if [ "$want" != "$got" ]; then
        mismatch="line $line: \"$got\", expected \"$want\""
        break
      fi
      ;;
    esac
  done
  exec 3<&- 4<&-
  if [ -n "$mismatch" ]; then
    fail "$name" "$mismatch"
    echo "    expected:"
    sed 's/^/      /' "$dir/expected.txt"
    echo "    written:"
    sed 's/^/      /' "$dir/actual.txt"
    continue
  fi
  echo "PASS $name"
  passed=$((passed + 1))
done

if [ $found -eq 0 ]; then
  echo "FAIL: no scenario in $scenarios${filter:+ matches $filter}"
  exit 1
fi
echo "$passed passed, $failed failed${failed_names:+:$failed_names}"
[ $failed -eq 0 ]
