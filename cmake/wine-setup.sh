#!/bin/sh
# wine-setup.sh start|stop PREFIX
# start: creates the prefix once (null graphics driver) and keeps one wine
#        server running for the test run.
# stop:  stops that server.
set -e
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

case "$action" in
start)
  if [ ! -f "$WINEPREFIX/.qln-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # wine picks a reg.exe of the current folder first: run from the prefix.
    (cd "$WINEPREFIX" && wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1)
    wineserver -w
    touch "$WINEPREFIX/.qln-ready"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true
  ;;
stop)
  wineserver -k >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: wine-setup.sh start|stop PREFIX" >&2
  exit 2
  ;;
esac
