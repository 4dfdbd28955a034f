#!/usr/bin/env bash
# Runs every test of both widths under Wine (after tools/setup.sh) and ends
# with one line per width: passed, failed, not run, and the time it took.
set -uo pipefail
cd "$(dirname "$0")/.."

# Without a configured build ctest finds no test; a run that tests nothing
# must not pass.
missing=()
for preset in win32 win64; do
  [ -f "build/$preset/CTestTestfile.cmake" ] || missing+=("$preset")
done
if [ ${#missing[@]} -gt 0 ]; then
  widths=$(IFS=,; echo "${missing[*]}")
  echo "no build of ${widths//,/, } (no build/<width>/CTestTestfile.cmake): bash tools/setup.sh makes it" >&2
  exit 1
fi

i386=$(sh cmake/i386-exec.sh probe)
echo "i386 programs: ${i386#*: }"

status=0
summary=()
for preset in win32 win64; do
  echo "== $preset"
  out=$(mktemp)
  started=$(date +%s)
  ctest --preset "$preset" 2>&1 | tee "$out"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  elapsed=$(( $(date +%s) - started ))
  # ctest's result lines: "N/M Test #K: name ....   Passed   1.2 sec", and
  # "***Failed", "***Not Run", "***Timeout", "***Exception" for the others.
  passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed ' "$out")
  notrun=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Not Run' "$out")
  failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*' "$out")
  failed=$((failed - notrun))
  rm -f "$out"
  summary+=("$preset: $passed passed, $failed failed, $notrun not run ($elapsed s)")
done
echo
printf '%s\n' "${summary[@]}"
exit $status
