#!/bin/sh
# wine-setup.sh start|stop PREFIX
# start: creates the prefix once (null graphics driver) and keeps one wine
#        server running for the test run.
# stop:  stops that server.
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# Wine's server and services outlive this script: they must not inherit the
# output pipes of the test runner, or the runner waits for them.
exec </dev/null >/dev/null 2>&1

case "$action" in
start)
  # The stamp names the prefix layout; a prefix of another layout is made anew.
  stamp=2
  if [ "$(cat "$WINEPREFIX/.qln-ready" 2>/dev/null)" != "$stamp" ]; then
    wineserver -k || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" || exit 1
    wineboot -i || exit 1
    wineserver -w
    # wine picks a reg.exe of the current folder first: run from the prefix.
    (cd "$WINEPREFIX" && wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f) || exit 1
    # A crashing program ends at once instead of waiting in winedbg.
    for view in 32 64; do
      (cd "$WINEPREFIX" && wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d '' /f /reg:$view) || exit 1
    done
    wineserver -w
    echo "$stamp" > "$WINEPREFIX/.qln-ready"
  fi
  wineserver -p || true
  # Start the prefix's services now, from here: processes started on demand
  # by a test would otherwise inherit the test's pipes.
  wineboot
  (cd "$WINEPREFIX" && wine cmd /c exit)
  ;;
stop)
  wineserver -k || true
  ;;
*)
  exit 2
  ;;
esac
