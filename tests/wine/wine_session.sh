#!/bin/sh
# Starts or stops the wine session shared by one ctest run (see
# cmake/LumenfallWine.cmake). Every command has its standard handles
# redirected: wine's long-lived system processes inherit them, and an
# inherited pipe keeps ctest waiting until the test times out.
# Usage: WINEPREFIX=<folder> wine_session.sh start|stop
set -u
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEPREFIX WINEDEBUG=-all

case "${1:-}" in
start)
  mkdir -p "$WINEPREFIX" </dev/null >/dev/null 2>&1
  "$server" -k </dev/null >/dev/null 2>&1 || true   # a leftover server makes -p fail
  "$server" -p </dev/null >/dev/null 2>&1 || exit 1
  "$wine" wineboot </dev/null >/dev/null 2>&1 || exit 1
  # No window manager under Xvfb: unmanaged windows hide at once instead of
  # waiting two seconds for one.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || exit 1
  # A crash prints a backtrace and ends the process instead of opening a dialog.
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1 || exit 1
  ;;
stop)
  "$server" -k </dev/null >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: $0 start|stop" >&2
  exit 2
  ;;
esac
