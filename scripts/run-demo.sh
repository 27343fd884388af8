#!/usr/bin/env bash
# Runs the demo scenario through the reference client and writes the page
# with its sequence diagram beside the build (BUILD/demo.html); until the
# client exists it lists what was built.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -x "$here/$build/bin/nuv_client" ] && [ -f "$here/examples/demo.json" ]; then
  page="$here/$build/demo.html"
  "$here/$build/bin/nuv_client" run --pretty --html "$page" "$here/examples/demo.json"
  echo
  echo "The sequence diagram of this run: $page"
  echo "(open it in a browser: file://$page)"
  exit 0
fi
echo "The reference client is not built yet; these programs exist:"
ls -1 "$here/$build/bin"
