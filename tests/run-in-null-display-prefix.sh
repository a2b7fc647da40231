#!/usr/bin/env bash
# run-in-null-display-prefix.sh FOLDER PROGRAM [ARGUMENTS...]
# Runs a Windows program under Wine's null display driver, the only driver here that lets a
# program change the display mode. The driver is chosen per Wine prefix (registry and
# wineserver), and the other tests need the X display of the run's prefix, so the program gets a
# prefix of its own in FOLDER: fresh copies of the run's registry files with the null driver set,
# and the run's C: drive shared through a link (nothing is installed or copied). Its wineserver is
# ended afterwards.
set -euo pipefail
folder=${1:?folder of the private prefix}
shift
source_prefix=${WINEPREFIX:-$HOME/.wine}
[ -f "$source_prefix/system.reg" ] || { echo "no Wine prefix at $source_prefix"; exit 1; }
drive_c=$(readlink -f "$source_prefix/dosdevices/c:")

# A server left by an interrupted run goes first; every run starts from the run prefix's registry.
if [ -f "$folder/system.reg" ]; then
  WINEPREFIX=$folder wineserver -k >/dev/null 2>&1 || true
fi
rm -rf "$folder"
mkdir -p "$folder/dosdevices"
ln -s "$drive_c" "$folder/dosdevices/c:"
ln -s / "$folder/dosdevices/z:"
cp "$source_prefix/system.reg" "$source_prefix/user.reg" "$source_prefix/userdef.reg" "$folder/"
# The update stamp tells Wine that the prefix is current, so that it does not update the shared C:.
cp "$source_prefix/.update-timestamp" "$folder/"
# A later section of the same key wins over one the copied file may hold.
printf '\n[Software\\\\Wine\\\\Drivers] 1700000000\n"Graphics"="null"\n' >>"$folder/user.reg"

export WINEPREFIX=$folder KANORU_NULL_DISPLAY=1
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's background processes must not hold the caller's output open.
wineserver -p </dev/null >/dev/null 2>&1 || true
wineboot </dev/null >/dev/null 2>&1 || true
wine "$@"
