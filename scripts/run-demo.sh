#!/usr/bin/env bash
# Runs the demo scenario through the reference client; until the client
# exists it lists what was built.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -x "$here/$build/bin/nuv_client" ] && [ -f "$here/examples/demo.json" ]; then
  exec "$here/$build/bin/nuv_client" run --pretty "$here/examples/demo.json"
fi
echo "The reference client is not built yet; these programs exist:"
ls -1 "$here/$build/bin"
