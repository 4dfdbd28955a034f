#!/bin/sh
# wine-setup.sh start|stop BUILD_DIR [WIDTH]
# start: checks that this machine can run the build's programs, creates the
#        prefix BUILD_DIR/wineprefix once (null graphics driver) and keeps
#        one wine server running for the test run.
# stop:  stops that server.
# Wine's own output goes to BUILD_DIR/wine-start.log; a failed start names
# its step and shows the end of that log.
action=$1
build=$2
width=${3:-64}
here=$(dirname "$0")
wine=$build/wine-run
log=$build/wine-start.log
export WINEPREFIX=$build/wineprefix

step() {
  echo "== $1"
}

start() {
  step "checking that i386 programs run"
  if [ "$(id -u)" -eq 0 ]; then
    sh "$here/i386-exec.sh" enable || true
  fi
  i386=$(sh "$here/i386-exec.sh" probe)
  echo "$i386"
  case "$i386" in
    missing:*) [ "$width" = 32 ] && return 1 ;;
  esac

  # The stamp names the prefix layout; a prefix of another layout is made anew.
  stamp=2
  if [ "$(cat "$WINEPREFIX/.qln-ready" 2>/dev/null)" != "$stamp" ]; then
    step "making the prefix $WINEPREFIX"
    wineserver -k || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" || return 1
    "$wine" wineboot -i || return 1
    wineserver -w
    step "setting the null graphics driver"
    # wine picks a reg.exe of the current folder first: run from the prefix.
    (cd "$WINEPREFIX" && "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f) ||
      return 1
    step "turning off the debugger of crashing programs"
    # A crashing program ends at once instead of waiting in winedbg.
    for view in 32 64; do
      (cd "$WINEPREFIX" && "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d '' /f /reg:$view) || return 1
    done
    wineserver -w
    echo "$stamp" > "$WINEPREFIX/.qln-ready"
  fi
  step "starting the wine server and the prefix's services"
  wineserver -p || true
  # Start the services now, from here: processes started on demand by a test
  # would otherwise inherit the test's pipes.
  "$wine" wineboot || return 1
  (cd "$WINEPREFIX" && "$wine" cmd /c exit) || return 1
  step "ready"
}

case "$action" in
start)
  # Wine's server and services outlive this script: they get the log, never
  # the output pipes of the test runner, or the runner would wait for them.
  export WINEDEBUG="${WINEDEBUG:-fixme-all}"
  if start >"$log" 2>&1 </dev/null; then
    echo "i386 programs: ${i386#*: }"
    exit 0
  fi
  failed=$(sed -n 's/^== //p' "$log" | tail -n 1)
  echo "wine-setup: the Wine prefix did not start, at: $failed" >&2
  echo "wine-setup: Wine's output is in $log; its end:" >&2
  tail -n 25 "$log" | sed 's/^/  | /' >&2
  exit 1
  ;;
stop)
  wineserver -k >/dev/null 2>&1 </dev/null || true
  ;;
*)
  exit 2
  ;;
esac
