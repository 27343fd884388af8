#!/usr/bin/env bash
# Installs what the build needs on a fresh machine and does nothing when it is
# all there already. Debian packages come through apt; V8 comes from Debian's
# libnode108/libnode-dev, unpacked into third_party/libnode because the
# machine's own Node.js package blocks installing them normally.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
libnode_dir="$here/third_party/libnode"
libnode_stamp="$libnode_dir/.unpacked"

# Build tools and libraries that install normally (V8's runtime libraries
# among them: ICU, libuv, c-ares, nghttp2, brotli, OpenSSL, zlib), and the
# headless Chromium (with a font) in which a test loads nuv_client's --html
# page.
packages=(
  build-essential cmake make pkg-config python3 clang libfuzzer-14-dev libclang-rt-14-dev
  libjsoncpp-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libre2-dev
  libicu-dev libicu72 libuv1 libc-ares2 libnghttp2-14 libbrotli1 libssl3 zlib1g
  chromium fonts-dejavu-core
)

# Another set-up (a second checkout, an unattended upgrade) may hold apt's
# locks: wait for them instead of failing.
apt_lock_wait=(-o DPkg::Lock::Timeout=900)

apt_updated=0
apt_update_once() {
  if [ "$apt_updated" = 0 ]; then
    echo "setup: apt-get update" >&2
    apt-get "${apt_lock_wait[@]}" update -qq >/dev/null
    apt_updated=1
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt_update_once
  echo "setup: installing ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive apt-get "${apt_lock_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$libnode_stamp" ] || [ ! -e "$libnode_dir/usr/lib/x86_64-linux-gnu/libnode.so.108" ]; then
  apt_update_once
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
  echo "setup: downloading libnode108 and libnode-dev (V8 10.2)" >&2
  (cd "$work" && apt-get download -qq libnode108 libnode-dev >/dev/null 2>&1) || {
    # An empty or stale package list makes the download fail: refresh once more.
    apt_updated=0; apt_update_once
    (cd "$work" && apt-get download -qq libnode108 libnode-dev >/dev/null)
  }
  rm -rf "$libnode_dir"
  mkdir -p "$libnode_dir"
  for deb in "$work"/*.deb; do
    dpkg-deb -x "$deb" "$libnode_dir"
  done
  test -f "$libnode_dir/usr/include/node/v8.h"
  touch "$libnode_stamp"
fi
echo "setup: ready" >&2
