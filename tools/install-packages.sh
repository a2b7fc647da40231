#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only those that are missing.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev
  libboost-dev nasm cmake ninja-build googletest dpkg-dev
  wine wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1
  libxcomposite1 libxfixes3 libxxf86vm1 xvfb xauth x11-apps imagemagick fonts-ipafont-gothic
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# Source packages of libjpeg-turbo and libpng are fetched with apt-get source: deb-src must be on.
enable_sources() {
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ] && ! grep -q '^Types: deb deb-src' "$f"; then
    "${sudo_cmd[@]}" sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    return 0
  fi
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list &&
     ! grep -q '^deb-src ' /etc/apt/sources.list; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      "${sudo_cmd[@]}" tee -a /etc/apt/sources.list >/dev/null
    return 0
  fi
  return 1
}

need_update=0
enable_sources && need_update=1
[ ${#missing[@]} -gt 0 ] && need_update=1
if [ "${FORCE_APT_UPDATE:-0}" = 1 ]; then need_update=1; fi

if [ "$need_update" = 1 ]; then
  "${sudo_cmd[@]}" apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine keeps non-ASCII file names on the Linux side only when the host has the locale the tests
# run under; the German one serves the tests of locale-independent number formatting.
wanted_locales=(ja_JP.UTF-8 de_DE.UTF-8)
missing_locales=()
for l in "${wanted_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing_locales+=("$l")
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  for l in "${missing_locales[@]}"; do
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null ||
      echo "$l UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
