#!/bin/sh
# at-dpi.sh DPI PREFIX TEST.exe [ARGS...]: runs one Windows test in a scratch
# Wine prefix of its own whose screen runs at DPI, so that the run's shared
# prefix keeps 96. The prefix is booted on first use and kept; its wineserver
# is ended afterwards. Services start detached, as for the shared prefix.
dpi=$1 prefix=$2
shift 2
. "$(dirname "$0")/../../scripts/wine-env"
orvanta_start_wine "$prefix"
# Wine reads the DPI when a process starts: set it, then start the services anew.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
orvanta_start_wine "$prefix"
wine "$@"
rc=$?
wineserver -k >/dev/null 2>&1
exit $rc
