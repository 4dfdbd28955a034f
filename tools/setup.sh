#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root) and builds
# both widths. Re-running it on a machine that has everything only builds.
#   QLN_WERROR=ON     compiler warnings are errors (CI sets it)
#   QLN_I386=emulate  run 32-bit Linux programs (Wine's 32-bit loader) through
#                     the emulator even where this machine runs them itself
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
          nsis googletest openssl python3 libboost1.81-dev locales)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# Wine's 32-bit loader is an i386 program; some kernels run none (see
# cmake/i386-exec.sh). There it runs through an emulator, installed first so
# that the i386 packages below find it in place.
i386=$(sh cmake/i386-exec.sh probe)
emulate=no
if [[ $i386 != native:* || ${QLN_I386:-auto} == emulate ]]; then
  emulate=yes
fi

if [ ${#missing[@]} -gt 0 ] || [ $emulate = yes ]; then
  if [ "$(id -u)" -ne 0 ]; then
    [ ${#missing[@]} -gt 0 ] && echo "setup: missing packages: ${missing[*]}" >&2
    [ $emulate = yes ] && echo "setup: i386 programs: ${i386#*: }" >&2
    echo "setup: run as root to install what is missing" >&2
    exit 1
  fi
fi

# Runs a command with its output kept aside, shown only when it fails.
quiet_log=$(mktemp)
trap 'rm -f "$quiet_log"' EXIT
quietly() {
  if ! DEBIAN_FRONTEND=noninteractive "$@" >"$quiet_log" 2>&1; then
    echo "setup: '$*' failed:" >&2
    tail -n 30 "$quiet_log" >&2
    exit 1
  fi
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing ${#missing[@]} packages..."
  dpkg --add-architecture i386
  quietly apt-get update -qq
fi
if [ $emulate = yes ]; then
  i386=$(sh cmake/i386-exec.sh install)
fi
if [ ${#missing[@]} -gt 0 ]; then
  quietly apt-get install -y -qq "${missing[@]}"
fi

# Ninja's progress as one line that updates on a terminal, and as a few
# milestones in a log; everything else it prints (warnings, errors) as is.
progress() {
  local preset=$1 tty=0
  [ -t 1 ] && tty=1
  awk -v preset="$preset" -v tty=$tty '
    match($0, /^\[[0-9]+\/[0-9]+\] /) {
      split(substr($0, 2, RLENGTH - 3), n, "/")
      if (tty) { printf "\r  %s: %d/%d", preset, n[1], n[2]; shown = 1; fflush(); next }
      quarter = int(4 * n[1] / n[2])
      if (quarter > last) { printf "  %s: %d/%d\n", preset, n[1], n[2]; last = quarter; fflush() }
      next
    }
    { if (shown) { printf "\n"; shown = 0 } print; fflush() }
    END { if (shown) printf "\n" }'
}

werror=${QLN_WERROR:-OFF}
built=()
for preset in win32 win64; do
  echo "Building $preset..."
  quietly cmake --preset "$preset" -DQLN_WERROR="$werror"
  cmake --build --preset "$preset" | progress "$preset"
  dlls=
  for dll in Dravik Ambrel Kestrine; do
    [ -f "build/$preset/bin/$dll.dll" ] && dlls+="$dll.dll, "
  done
  tests=$(find "build/$preset/bin" -maxdepth 1 -name '*_tests.exe' | wc -l)
  built+=("build/$preset: ${dlls}$tests test programs")
done

elapsed=$(( $(date +%s) - started ))
echo
echo "Set-up done in $((elapsed / 60)) min $((elapsed % 60)) s."
if [ ${#missing[@]} -gt 0 ]; then
  echo "  installed: ${missing[*]}"
else
  echo "  packages: all were installed already"
fi
echo "  i386 programs: ${i386#*: }"
for line in "${built[@]}"; do
  echo "  built $line"
done
echo "Next: bash tools/test.sh"
