#!/usr/bin/env bash
# Installs what is missing, builds, and starts the registry browser window
# (qvr-browser, given the arguments; see README.md).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QVR_BUILD_DIR:-$here/build}
"$here/scripts/deps.sh" >/dev/null
if [ -x "$build/qt/qvr-browser" ]; then
  # On a machine without a display, show what the window looks like instead.
  if [ $# -eq 0 ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    "$build/qt/qvr-browser" --screenshot qvr-browser.png
    echo "run.sh: no display; the window was rendered to $(pwd)/qvr-browser.png"
    exit 0
  fi
  exec "$build/qt/qvr-browser" "$@"
fi
if [ -x "$build/tools/qvr-reg/qvr-reg" ]; then
  # Until the window exists: the command-line client; by default it lists
  # HKLM\SOFTWARE of the local store.
  [ $# -eq 0 ] && set -- query 'HKLM\SOFTWARE'
  exec "$build/tools/qvr-reg/qvr-reg" "$@"
fi
echo "run.sh: no program is built yet (the browser and the command-line client are still to come)" >&2
exit 1
