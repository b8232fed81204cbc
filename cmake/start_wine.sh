#!/bin/sh
# Prepares the wine prefix of a build tree for the Windows test run: an
# initialised prefix with a virtual desktop, and a persistent wine server.
# Everything wine starts is detached from our output so that ctest does not
# wait for the server to exit.
prefix=$1
mkdir -p "$prefix"
export WINEPREFIX="$prefix"
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
$wine wineboot -i >/dev/null 2>&1 || exit 1
# Windows appear on a wine virtual desktop: without a window manager on the X
# display, wine waits two seconds for every window it maps. The desktop mode
# is read when the desktop process starts, so the server is restarted.
$wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || exit 1
$wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 || exit 1
$server -k >/dev/null 2>&1
$server -w >/dev/null 2>&1
$server -p >/dev/null 2>&1 || true
# Start the desktop now, detached: started later by a test program, it would
# hold that program's output open and ctest would wait for it.
$wine wineboot >/dev/null 2>&1 || exit 1
exit 0
