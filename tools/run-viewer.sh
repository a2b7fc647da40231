#!/usr/bin/env bash
# Builds as the test run does and runs the viewer under Wine, with the Japanese code page 932 and
# the build folder's private Wine prefix:
#   run-viewer.sh [folder, image or zip]
# Without an argument it writes the sample pages (numbered colour bars as JPEG and PNG files, and
# a ZIP of them) into the build folder and opens their folder. On a display ($DISPLAY) the viewer
# runs until it is closed. Without one it gets a virtual display of its own: once its first page
# is on screen a screenshot is saved (the path is printed) and the viewer is closed (WM_CLOSE).
# The exit code is the viewer's.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KANORU_BUILD:-$here/build}
export HOME=${HOME:-/root}

if [ $# -gt 1 ]; then
  echo "usage: $0 [folder, image or zip]" >&2
  exit 2
fi
if [ $# -eq 1 ] && [ ! -e "$1" ]; then
  echo "$0: $1 does not exist" >&2
  exit 2
fi
target=${1:+$(realpath "$1")}

source "$here/tools/wine-env.sh"
kanoru_build x86_64
bin="$build/x86_64"

kanoru_wine_environment
trap kanoru_cleanup EXIT
own_display=""
if [ -z "${DISPLAY:-}" ]; then
  own_display=1
  kanoru_start_xvfb
fi
kanoru_start_wine

if [ -z "$target" ]; then
  "${ja[@]}" wine "$bin/tools/sample_pages/make_sample_pages.exe" "$(kanoru_windows_path "$build/sample-pages")" \
    </dev/null >/dev/null
  target="$build/sample-pages/pages"
  echo "sample pages: $target (and $build/sample-pages/pages.zip)"
fi
argument=$(kanoru_windows_path "$target")
viewer="$bin/viewer/Kanoru2.exe"

set +e
if [ -z "$own_display" ]; then
  "${ja[@]}" wine "$viewer" "$argument"
  rc=$?
else
  shot="$build/run-viewer/first-page.png"
  mkdir -p "$(dirname "$shot")"
  rm -f "$shot"
  "${ja[@]}" wine "$bin/tools/first_page/show_first_page.exe" --screenshot "$(kanoru_windows_path "$shot")" \
    "$(kanoru_windows_path "$viewer")" "$argument" </dev/null
  rc=$?
  [ ! -f "$shot" ] || echo "screenshot: $shot"
fi
exit $rc
