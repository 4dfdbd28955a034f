#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root) and builds
# both widths. Re-running it on a machine that has the packages only builds.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
          nsis googletest openssl python3 libboost1.81-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

werror=${QLN_WERROR:-OFF}
for preset in win32 win64; do
  cmake --preset "$preset" -DQLN_WERROR="$werror" >/dev/null
  cmake --build --preset "$preset"
done
