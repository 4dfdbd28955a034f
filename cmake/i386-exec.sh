#!/bin/sh
# i386-exec.sh probe|install|enable|remove
#
# Debian's 32-bit Wine loader is an i386 Linux program. Some kernels run no
# such programs ("32-bit emulation disabled", ia32_emulation=off, and guests
# whose hypervisor offers no 32-bit code segment at all, which also rules out
# a Wine that runs 32-bit code inside a 64-bit process). There every i386
# program runs under qemu-i386, user-mode CPU emulation registered as the
# kernel's binfmt_misc handler for i386 programs, so 32-bit Wine, the test
# programs and the NSIS installers run unchanged, only slower to start.
#
# probe    prints one line: "native", "emulated" or "missing" first, then why.
# install  (root) fetches qemu-i386 into the cache and registers it, where the
#          probe says the machine needs it or QLN_I386=emulate asks for it.
# enable   (root) registers the cached emulator again (the registration does
#          not outlive a reboot); does nothing where the machine runs i386
#          programs itself.
# remove   (root) drops the registration.
#
# The emulator is Debian 13's qemu-user (static, so it runs on Debian 12),
# kept in ${QLN_CACHE:-/var/cache/qln}/qemu-i386 and fetched again only when
# this script changes.
set -eu

cache=${QLN_CACHE:-/var/cache/qln}/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/qln-i386
suite=trixie

# A static i386 program of 114 bytes, no library: it exits with the first
# letter of the machine name the kernel reports to it, "x" (x86_64) where the
# kernel runs it itself, "i" (i686) under qemu-i386, which reports its own.
probe_program() {
  printf '\177\105\114\106\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\162\0\0\0\162\0\0\0\5\0\0\0\0\20\0\0\201\354\220\1\0\0\211\343\270\172\0\0\0\315\200\17\266\234\44\4\1\0\0\270\1\0\0\0\315\200'
}

# How i386 programs run here: "native", "emulated" or "none".
i386_runs() {
  elf=$(mktemp "${TMPDIR:-/tmp}/qln-i386.XXXXXX")
  probe_program >"$elf"
  chmod +x "$elf"
  rc=0
  "$elf" 2>/dev/null || rc=$?
  rm -f "$elf"
  case "$rc" in
    120) echo native ;;
    105) echo emulated ;;
    *) echo none ;;
  esac
}

registered() {
  [ -f "$handler" ] && grep -qx enabled "$handler"
}

probe() {
  case "$(i386_runs)" in
    native) echo "native: this machine runs them itself" ;;
    emulated)
      if registered; then
        echo "emulated: they run through qemu-i386 ($cache)"
      else
        echo "emulated: they run through an emulator this machine had already"
      fi
      ;;
    *)
      if registered; then
        echo "missing: the qemu-i386 handler is registered, yet an i386 program does not run"
      else
        echo "missing: this kernel runs none, so 32-bit Wine cannot start; tools/setup.sh, run as root, installs an emulator"
      fi
      ;;
  esac
}

recipe() {
  sha256sum "$0" | cut -d' ' -f1
}

# The machine's own Debian mirror, as apt knows it.
mirror() {
  apt-cache policy 2>/dev/null |
    awk '$3 == "bookworm/main" && $2 ~ /^(https?|file):/ { print $2; exit }'
}

fetch() {
  uri=$(mirror)
  if [ -z "$uri" ]; then
    apt-get -qq update
    uri=$(mirror)
  fi
  if [ -z "$uri" ]; then
    echo "i386-exec: no Debian mirror found in apt's sources" >&2
    return 1
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" \
    >"$work/sources.list"
  set -- -o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=- \
         -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" \
         -o Acquire::Check-Valid-Until=false -o APT::Sandbox::User=root
  apt-get "$@" -qq update
  (cd "$work" && apt-get "$@" -qq download qemu-user)
  deb=$(ls "$work"/qemu-user_*.deb)
  version=$(dpkg-deb -f "$deb" Version)
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" ./usr/bin/qemu-i386
  mkdir -p "$cache"
  install -m 755 "$work/usr/bin/qemu-i386" "$cache/qemu-i386.new"
  mv -f "$cache/qemu-i386.new" "$cache/qemu-i386"
  echo "$(recipe) $version" >"$cache/stamp"
  rm -rf "$work"
  trap - EXIT
}

mount_binfmt() {
  [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
}

register() {
  mount_binfmt
  [ -f "$handler" ] && echo -1 >"$handler"
  # The ELF header of i386 programs and libraries; "F" opens the emulator
  # now, so it serves every mount namespace and chroot alike.
  printf '%s' ":qln-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$cache/qemu-i386:FP" \
    >"$binfmt/register"
}

cached() {
  [ -x "$cache/qemu-i386" ] && [ "$(cut -d' ' -f1 "$cache/stamp" 2>/dev/null)" = "$(recipe)" ]
}

case "${1:-}" in
probe)
  probe
  ;;
install)
  if [ "${QLN_I386:-auto}" != emulate ] && [ "$(i386_runs)" = native ]; then
    echo "native: this machine runs them itself; no emulator needed"
    exit 0
  fi
  cached || fetch
  register
  if [ "$(i386_runs)" != emulated ]; then
    echo "i386-exec: qemu-i386 is registered but an i386 program does not run under it" >&2
    exit 1
  fi
  echo "emulated: they run through qemu-i386 $(cut -d' ' -f2 "$cache/stamp") ($cache)"
  ;;
enable)
  if [ "$(i386_runs)" != none ]; then
    exit 0
  fi
  if ! cached; then
    echo "i386-exec: this kernel runs no i386 programs and $cache holds no emulator; run tools/setup.sh as root" >&2
    exit 1
  fi
  register
  ;;
remove)
  if [ -f "$handler" ]; then echo -1 >"$handler"; fi
  ;;
*)
  echo "usage: i386-exec.sh probe|install|enable|remove" >&2
  exit 2
  ;;
esac
