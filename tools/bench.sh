#!/usr/bin/env bash
# Runs the benchmark programs of both widths under Wine (after tools/setup.sh)
# and prints one table: width, operation, count per round, median ns per
# operation over the rounds, ratio to its baseline, note.
#   tools/bench.sh          5 rounds of the full counts
#   tools/bench.sh --quick  one short round (checks the programs, not the numbers)
set -euo pipefail
cd "$(dirname "$0")/.."

args=()
for arg in "$@"; do
  case "$arg" in
    --quick) args+=(--quick) ;;
    *) echo "usage: tools/bench.sh [--quick]" >&2; exit 2 ;;
  esac
done

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
for preset in win64 win32; do
  build=build/$preset
  programs=(dravik_bench)
  [ "$preset" = win32 ] && programs+=(kestrine_bench)
  sh cmake/wine-setup.sh start "$PWD/$build" "${preset#win}"
  for program in "${programs[@]}"; do
    exe=$build/bin/$program.exe
    if [ ! -f "$exe" ]; then
      echo "bench: $exe is missing; build with tools/setup.sh first" >&2
      exit 1
    fi
    # Each program prints tab-separated "info" and "row" lines.
    if ! "$build/wine-run" "$exe" "${args[@]}" >>"$rows"; then
      echo "bench: $program ($preset) failed" >&2
      exit 1
    fi
  done
  sh cmake/wine-setup.sh stop "$PWD/$build"
done

awk -F '\t' '
  $1 == "info" && $3 == "processors" { processors = $4 }
  $1 == "info" && $3 == "wine"       { wine = $4 }
  $1 == "info" && $3 == "rounds"     { rounds = $4 }
  $1 == "info" && $3 != "processors" && $3 != "wine" && $3 != "rounds" {
    notes[++n] = sprintf("  %s-bit  %s: %s", $2, $3, $4)
  }
  $1 == "row" { line[++m] = sprintf("%-6s %-52s %9s %14s %7s  %s", $2 "-bit", $3, $4, $5, $6, $7) }
  END {
    printf "Benchmarks: %s processors, Wine %s, median of %s round(s)\n\n", processors, wine, rounds
    printf "%-6s %-52s %9s %14s %7s  %s\n", "width", "operation", "count", "median ns/op", "ratio", "note"
    for (i = 1; i <= m; ++i) print line[i]
    if (n) { print ""; for (i = 1; i <= n; ++i) print notes[i] }
  }' "$rows"
