# Sourced by the scripts that build the programs and run them under Wine (run-tests.sh,
# run-viewer.sh). The caller sets `here` (the clone) and `build` (the build folder) first.

# Installs the missing Debian packages, builds the dependencies (cached outside the clone) and
# then each architecture given into $build/<arch>.
kanoru_build() {
  bash "$here/tools/install-packages.sh"
  bash "$here/tools/build-deps.sh"
  local arch
  for arch in "$@"; do
    bash "$here/tools/build.sh" "$arch" "$build/$arch"
  done
}

# Wine: a private prefix in the build folder, Japanese code page 932, no menu builder. Sets `ja`,
# the command prefix that starts a process with code page 932 and without address-space
# randomisation.
kanoru_wine_environment() {
  export WINEPREFIX="$build/wineprefix"
  export WINEARCH=win64
  export WINEDEBUG=-all,err+module
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  # Wine moves what is deleted to the recycle bin into the XDG trash: a fresh one in the build
  # folder for every run, never the user's.
  export XDG_DATA_HOME="$build/xdg-data"
  rm -rf "$XDG_DATA_HOME"
  mkdir -p "$XDG_DATA_HOME"
  # Code page 932 for every Wine process (given through env: bash itself has no such locale), all
  # started without address-space randomisation (see the sourced script).
  source "$here/tools/wine-personality.sh"
  ja=("${wine_personality[@]}" env LC_ALL=ja_JP.UTF-8)
}

kanoru_xvfb_pid=""
# Ends what kanoru_start_xvfb and kanoru_start_wine started; for `trap kanoru_cleanup EXIT`.
kanoru_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$kanoru_xvfb_pid" ] || kill "$kanoru_xvfb_pid" 2>/dev/null || true
}

# A virtual display of its own on a free display number, exported as DISPLAY.
kanoru_start_xvfb() {
  exec 3>"$build/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  kanoru_xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 50); do [ -s "$build/xvfb.display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$build/xvfb.display")"
}

# Makes the prefix when it is missing, then keeps one wineserver running for it.
kanoru_start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "${ja[@]}" wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w # the registry files are written when the server ends
    [ -f "$WINEPREFIX/system.reg" ] || { echo "could not make the Wine prefix $WINEPREFIX"; exit 1; }
  fi
  # Wine's background processes must not hold the caller's output open.
  "${ja[@]}" wineserver -p </dev/null >/dev/null 2>&1 || true # one may already serve this prefix
  "${ja[@]}" wineboot </dev/null >/dev/null 2>&1 || true
}

# The Windows path of a Linux path, through the prefix's drive Z:, which maps /.
kanoru_windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}
