#!/usr/bin/env bash
# Installs what is missing, builds, and starts the registry browser.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QVR_BUILD_DIR:-$here/build}
"$here/scripts/deps.sh" >/dev/null
for program in "$build/qt/qvr-browser" "$build/tools/qvr-reg/qvr-reg"; do
  [ -x "$program" ] && exec "$program" "$@"
done
echo "run.sh: no program is built yet (the browser and the command-line client are still to come)" >&2
exit 1
