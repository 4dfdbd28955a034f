#!/bin/sh
# The installed package as a user picks it up, one step per CTest test:
#
#   package-test.sh install BUILD_DIR PREFIX
#       installs the build into PREFIX (emptied first)
#   package-test.sh cmake PREFIX WORK_DIR COMPILER WINE_RUN VERSION
#       configures this folder's CMake project against PREFIX alone with the
#       README's configure line, builds it, installs it into WORK_DIR/deploy
#       with the DLLs the package names and runs it there; a configure with
#       the compiler's win32-thread variant must draw the package's warning
#   package-test.sh headers PREFIX COMPILER
#       checks PREFIX/include (check_installed_headers.py)
#   package-test.sh nsis PREFIX WORK_DIR MAKENSIS WINE_RUN VERSION OBJDUMP CERTIFICATE
#       builds the installed example script as the README says (from PREFIX,
#       named relative to it) and from another folder with -NOCD, and runs the
#       installer silently with CERTIFICATE beside it
#   package-test.sh modules SOURCE_DIR BUILD_DIR WORK_DIR GENERATOR TOOLCHAIN BUILD_TYPE WERROR BOOST
#       builds the modules alone (BUILD_TESTING=OFF) in WORK_DIR/build, kept
#       between runs, and checks that it installs what BUILD_DIR installs
set -u
here=$(cd "$(dirname "$0")" && pwd)
step=$1
shift

fail() {
  echo "FAIL: $*"
  exit 1
}

# logged LOG WHAT COMMAND...: runs COMMAND with its output in LOG, shown when
# it fails.
logged() {
  logged_file=$1 logged_what=$2
  shift 2
  "$@" > "$logged_file" 2>&1 || {
    cat "$logged_file"
    fail "$logged_what"
  }
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
  prefix=$(cd "$1" && pwd) work=$2 compiler=$3 wine_run=$4 version=$5
  rm -rf "$work"
  mkdir -p "$work"
  # The configure line of the README's "Install and use".
  log=$work/configure.log
  logged "$log" "configure" \
    cmake -S "$here" -B "$work/build" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
          -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix"
  if grep -q 'CMake Warning' "$log"; then
    cat "$log"
    fail "the configure with $compiler warned"
  fi
  cmake --build "$work/build" || fail "build"
  deploy=$work/deploy
  cmake --install "$work/build" --prefix "$deploy" || fail "install of the program"
  # The program and the DLLs the package names for it, which are all the DLLs
  # of the package's bin/: nothing is missing, nothing is found elsewhere.
  { (cd "$prefix/bin" && ls -- *.dll); echo dravik_consumer.exe; } | sort > "$work/expected-files.txt"
  (cd "$deploy/bin" && ls) | sort > "$work/deployed-files.txt"
  diff -u "$work/expected-files.txt" "$work/deployed-files.txt" \
      || fail "$deploy/bin holds other files than the program and the package's DLLs"
  out=$work/output.txt
  (cd "$deploy/bin" && "$wine_run" dravik_consumer.exe) > "$out" 2>&1 || {
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

  # The compiler's other thread model: the package says which one it needs.
  other=${compiler%-posix}-win32
  log=$work/configure-$other.log
  cmake -S "$here" -B "$work/$other" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_CXX_COMPILER="$other" -DCMAKE_PREFIX_PATH="$prefix" > "$log" 2>&1
  # (CMake wraps the warning's lines.)
  case $(tr -s ' \n' '  ' < "$log") in
  *"Dravik was built with $compiler (GCC "*"win32 threads"*) ;;
  *)
    cat "$log"
    fail "no warning of the package for $other"
    ;;
  esac
  ;;

headers)
  prefix=$1 compiler=$2
  python3 "$here/check_installed_headers.py" "$prefix" "$compiler"
  ;;

nsis)
  prefix=$(cd "$1" && pwd) work=$2 makensis=$3 wine_run=$4 version=$5 objdump=$6 certificate=$7
  plugin=$prefix/Plugins/x86-unicode/Kestrine.dll
  [ -f "$plugin" ] || fail "no $plugin"
  if "$objdump" -h "$plugin" | grep -q '\.debug'; then
    fail "$plugin still holds debug sections"
  fi
  examples=$prefix/Examples/Kestrine
  cmp "$here/../../docs/kestrine-actions.md" "$examples/kestrine-actions.md" \
      || fail "no reference of the actions beside the example"
  rm -rf "$work"
  mkdir -p "$work/nocd"
  # As the README says: from the install folder, the script named relative to
  # it. makensis changes into the script's folder and writes the installer there.
  script=Examples/Kestrine/KestrineExample.nsi
  rm -f "$examples/KestrineExample.exe"
  logged "$work/makensis.log" "makensis $script in $prefix" \
    sh -c 'cd "$1" && "$2" "$3"' - "$prefix" "$makensis" "$script"
  mv "$examples/KestrineExample.exe" "$work/" || fail "makensis wrote no $examples/KestrineExample.exe"
  # Named from another folder, and with makensis staying there.
  relative=$(realpath --relative-to="$work/nocd" "$prefix")/$script
  logged "$work/makensis-nocd.log" "makensis -NOCD $relative in $work/nocd" \
    sh -c 'cd "$1" && "$2" -NOCD "$3"' - "$work/nocd" "$makensis" "$relative"
  [ -f "$work/nocd/KestrineExample.exe" ] || fail "makensis -NOCD wrote no $work/nocd/KestrineExample.exe"

  cp "$certificate" "$work/KestrineExample.cer" || fail "no certificate $certificate"
  target="Z:$(printf '%s' "$work/out" | tr / '\\')"
  (cd "$work" && timeout 120 "$wine_run" KestrineExample.exe /S "/D=$target") \
      || fail "the installer exited with an error"
  results=$work/out/example-results.txt
  [ -f "$results" ] || fail "the installer wrote no $results"
  tr -d '\r' < "$results" > "$results.lf"
  cat "$results.lf"
  expect_line "$results.lf" "plug-in: Kestrine $version"
  expect_line "$results.lf" 'UI language: 0x[0-9A-Fa-f]{4}'
  expect_line "$results.lf" 'logical processors: [1-9][0-9]*'
  expect_line "$results.lf" 'seconds since 1970: [1-9][0-9]{9,}'
  # Wine's administrator test always passes; the certificates need it.
  expect_line "$results.lf" 'administrator: true'
  expect_line "$results.lf" 'installer running: true'
  expect_line "$results.lf" 'app.exe running: false'
  expect_line "$results.lf" 'exit code: 3'
  expect_line "$results.lf" 'certificate installed: success'
  expect_line "$results.lf" 'certificate removed: success'
  expect_line "$results.lf" 'settings: Success'
  expect_line "$results.lf" 'earlier version: none \(error: Not found\)'
  expect_line "$results.lf" 'shortcut: success'
  tr -d '\r' < "$work/out/settings.ini" > "$work/settings.lf"
  expect_line "$work/settings.lf" 'port=9090'
  [ -f "$work/out/Example settings.lnk" ] || fail "the installer wrote no shortcut"
  ;;

modules)
  source=$1 build=$2 work=$3 generator=$4 toolchain=$5 build_type=$6 werror=$7 boost=$8
  tree=$work/build
  mkdir -p "$work"
  logged "$work/configure.log" "the configure of the modules alone" \
    cmake -S "$source" -B "$tree" -G "$generator" --toolchain "$toolchain" \
          -DCMAKE_BUILD_TYPE="$build_type" -DQLN_WERROR="$werror" -DQLN_BOOST_INCLUDE_DIR="$boost" \
          -DBUILD_TESTING=OFF
  logged "$work/build.log" "the build of the modules alone" cmake --build "$tree" --parallel 4
  # No test program, no GoogleTest, no benchmark, no CTest test.
  programs=$(find "$tree/bin" -name '*.exe')
  [ -z "$programs" ] || fail "the build of the modules alone made programs: $programs"
  [ ! -e "$tree/googletest" ] || fail "the build of the modules alone holds GoogleTest"
  [ ! -e "$tree/CTestTestfile.cmake" ] || fail "the build of the modules alone has tests"
  # The same package as the full build's.
  rm -rf "$work/full" "$work/modules"
  cmake --install "$build" --prefix "$work/full" > /dev/null || fail "install of $build"
  cmake --install "$tree" --prefix "$work/modules" > /dev/null || fail "install of $tree"
  for kind in full modules; do
    (cd "$work/$kind" && find . | sort) > "$work/$kind.txt"
  done
  diff -u "$work/full.txt" "$work/modules.txt" \
      || fail "the modules alone install other files than the full build"
  ;;

*)
  fail "unknown step $step"
  ;;
esac
