#!/usr/bin/env bash
# Compiles every file of src/ (syntax only) against CEF 3.2623's own public
# headers instead of cef/include, to show that the product uses nothing that
# real CEF lacks, at the paths where CEF has it. CEF's headers are not part
# of this repository: pass the folder that holds CEF's include/ (for example
# an export of branch 2623 of the CEF repository).
#
#   scripts/check-against-cef-headers.sh /path/to/cef-2623
#
# POSIX files are compiled with the host's g++; the Windows files with
# mingw-w64 when it is installed (the Windows leg installs it).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cef="${1:-}"
if [ -z "$cef" ] || [ ! -f "$cef/include/cef_app.h" ]; then
  echo "usage: $0 CEF_DIR   (CEF_DIR/include/cef_app.h must exist)" >&2
  exit 2
fi

flags=(-std=c++17 -fsyntax-only -I"$cef" -I"$root" -I/usr/include/jsoncpp -Wno-deprecated-declarations)
failed=0
checked=0
cd "$root"
for file in src/*/*.cc; do
  case "$file" in
    *_win.cc) compiler=x86_64-w64-mingw32-g++-posix ;;
    *) compiler=g++ ;;
  esac
  if ! command -v "$compiler" >/dev/null 2>&1; then
    echo "skipped (no $compiler): $file"
    continue
  fi
  checked=$((checked + 1))
  if ! "$compiler" "${flags[@]}" "$file"; then
    echo "FAILED against CEF's headers: $file"
    failed=$((failed + 1))
  fi
done
echo "$checked files compiled against $cef/include, $failed failed"
[ "$failed" -eq 0 ]
