#!/usr/bin/env bash
# Prepares the Windows test leg: Debian's mingw-w64 cross compilers for 64-
# and 32-bit Windows (posix thread model) and wine 8 in both bitnesses (the
# 32-bit loader, wine32, comes from the i386 architecture, which is added to
# dpkg first), plus a headless 64-bit wine prefix of our own in which 32-bit
# programs run beside 64-bit ones, as on a 64-bit Windows.
# Idempotent: on a prepared machine it only checks and returns in well under
# a second. The prefix lives outside the build folders so that "make clean"
# does not throw it away (creating it takes a while).
#
# Environment: NUV_WINEPREFIX overrides the prefix location.
set -euo pipefail

NUV_WINEPREFIX="${NUV_WINEPREFIX:-${HOME:-/tmp}/.cache/nuv-wineprefix}"
packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386)

log() { echo "[windows-leg setup] $*"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    log "need root to run: $*"
    return 1
  fi
}

install_packages() {
  local missing=()
  local pkg
  for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  log "installing ${missing[*]} (this takes a few minutes the first time)"
  # wine32 is an i386 package: the architecture must be known to dpkg, and
  # its package lists present.
  local refresh=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    refresh=1
  fi
  if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*_binary-i386_Packages*' 2>/dev/null | head -n 1)" ]; then
    refresh=1
  fi
  # Empty or day-old package lists: refresh them first.
  if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*_Packages*' -mtime -1 2>/dev/null | head -n 1)" ]; then
    refresh=1
  fi
  if [ $refresh -eq 1 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

wine_binary() {
  if [ -x /usr/lib/wine/wine64 ]; then
    echo /usr/lib/wine/wine64
  else
    command -v wine64 || command -v wine
  fi
}

wineserver_binary() {
  # Debian's wineserver wrapper always adds -p0; call the server directly.
  if [ -x /usr/lib/wine/wineserver64 ]; then
    echo /usr/lib/wine/wineserver64
  else
    command -v wineserver
  fi
}

create_prefix() {
  # .nuv-headless-wow64: created with the 32-bit loader installed, so that
  # 32-bit programs run in it too. A prefix with only the older marker
  # (.nuv-headless, 64-bit only) is made again.
  local marker="$NUV_WINEPREFIX/.nuv-headless-wow64"
  if [ -f "$marker" ]; then
    return 0
  fi
  log "creating the wine prefix $NUV_WINEPREFIX (once)"
  rm -rf "$NUV_WINEPREFIX"
  mkdir -p "$(dirname "$NUV_WINEPREFIX")"
  local wine wineserver
  wine="$(wine_binary)"
  wineserver="$(wineserver_binary)"
  (
    unset DISPLAY WAYLAND_DISPLAY
    export WINEPREFIX="$NUV_WINEPREFIX" WINEARCH=win64 WINEDEBUG=-all
    # No prompts for the .NET and HTML engines nobody here needs.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    "$wine" wineboot --init >/dev/null 2>&1 || true
    # The null graphics driver: windows exist and take messages, nothing is
    # drawn and no X server is needed.
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    "$wineserver" -w
  )
  if ! grep -q '"Graphics"="null"' "$NUV_WINEPREFIX/user.reg"; then
    log "could not set the null graphics driver in $NUV_WINEPREFIX"
    return 1
  fi
  touch "$marker" "$NUV_WINEPREFIX/.nuv-headless"
}

start=$(date +%s)
install_packages
create_prefix
if [ ! -x /usr/lib/wine/wine ]; then
  log "the 32-bit wine loader /usr/lib/wine/wine is missing (package wine32:i386)"
  exit 1
fi
took=$(($(date +%s) - start))
log "ready: mingw-w64 $(x86_64-w64-mingw32-g++-posix -dumpversion) (x86_64, i686) and $("$(wine_binary)" --version), prefix $NUV_WINEPREFIX ($took s)"
