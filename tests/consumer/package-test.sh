#!/bin/sh
# The installed package as a user picks it up, one step per CTest test:
#
#   package-test.sh install BUILD_DIR PREFIX
#       installs the build into PREFIX (emptied first)
#   package-test.sh cmake PREFIX WORK_DIR TOOLCHAIN WINE_RUN VERSION
#       builds this folder's CMake project against PREFIX alone, installs the
#       program into PREFIX/bin and runs it there
#   package-test.sh headers PREFIX COMPILER
#       checks PREFIX/include (check_installed_headers.py)
#   package-test.sh nsis PREFIX WORK_DIR MAKENSIS WINE_RUN VERSION OBJDUMP
#       builds the installed example script against PREFIX/Plugins and runs
#       the installer silently
set -u
here=$(cd "$(dirname "$0")" && pwd)
step=$1
shift

fail() {
  echo "FAIL: $*"
  exit 1
}

# expect_line FILE REGEX: FILE holds a whole line matching the extended REGEX.
expect_line() {
  grep -Eqx -- "$2" "$1" || fail "no line matching '$2' in $1"
}

case $step in
install)
  build=$1 prefix=$2
  rm -rf "$prefix"
  cmake --install "$build" --prefix "$prefix" || fail "cmake --install"
  ;;

cmake)
  prefix=$(cd "$1" && pwd) work=$2 toolchain=$3 wine_run=$4 version=$5
  rm -rf "$work"
  cmake -S "$here" -B "$work" -G Ninja --toolchain "$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" || fail "configure"
  cmake --build "$work" || fail "build"
  cmake --install "$work" --prefix "$prefix" || fail "install of the program"
  out=$work/output.txt
  (cd "$prefix/bin" && "$wine_run" dravik_consumer.exe) > "$out" 2>&1 || {
    cat "$out"
    fail "dravik_consumer.exe exited with an error"
  }
  tr -d '\r' < "$out" > "$out.lf"
  cat "$out.lf"
  # Wine has no optical drive: the open fails and so does the command.
  expect_line "$out.lf" '\\\\\.\\CdRom0: cannot be opened'
  expect_line "$out.lf" 'TEST UNIT READY: failed'
  expect_line "$out.lf" 'last error: .*[A-Za-z].*'
  expect_line "$out.lf" "package version: $version"
  expect_line "$out.lf" "Dravik.dll version: $version.0"
  expect_line "$out.lf" "Ambrel.dll version: $version.0"
  ;;

headers)
  prefix=$1 compiler=$2
  python3 "$here/check_installed_headers.py" "$prefix" "$compiler"
  ;;

nsis)
  prefix=$(cd "$1" && pwd) work=$2 makensis=$3 wine_run=$4 version=$5 objdump=$6
  plugin=$prefix/Plugins/x86-unicode/Kestrine.dll
  [ -f "$plugin" ] || fail "no $plugin"
  if "$objdump" -h "$plugin" | grep -q '\.debug'; then
    fail "$plugin still holds debug sections"
  fi
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && "$makensis" -V2 -NOCD "$prefix/Examples/Kestrine/KestrineExample.nsi") \
      || fail "makensis"
  target="Z:$(printf '%s' "$work/out" | tr / '\\')"
  (cd "$work" && timeout 120 "$wine_run" KestrineExample.exe /S "/D=$target") \
      || fail "the installer exited with an error"
  facts=$work/out/machine-facts.txt
  [ -f "$facts" ] || fail "the installer wrote no $facts"
  tr -d '\r' < "$facts" > "$facts.lf"
  cat "$facts.lf"
  expect_line "$facts.lf" "plug-in: Kestrine $version"
  expect_line "$facts.lf" 'UI language: 0x[0-9A-Fa-f]{4}'
  expect_line "$facts.lf" 'logical processors: [1-9][0-9]*'
  expect_line "$facts.lf" 'seconds since 1970: [1-9][0-9]{9,}'
  expect_line "$facts.lf" 'administrator: (true|false)'
  ;;

*)
  fail "unknown step $step"
  ;;
esac
