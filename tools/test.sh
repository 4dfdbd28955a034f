#!/usr/bin/env bash
# Runs every test of both widths under Wine (after tools/setup.sh).
set -uo pipefail
cd "$(dirname "$0")/.."

status=0
for preset in win32 win64; do
  echo "== $preset"
  ctest --preset "$preset" || status=1
done
exit $status
