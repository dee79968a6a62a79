#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are present, then configures
# and builds into ./build (or $QVR_BUILD_DIR). Installs them when run as root;
# otherwise prints the exact command to run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QVR_BUILD_DIR:-$here/build}
packages=(build-essential cmake pkg-config libsqlite3-dev libicu-dev libpugixml-dev
          libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev xvfb xauth
          python3-dev pybind11-dev python3-pytest libxml2-dev libhivex-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null
    apt-get install -y -q "${missing[@]}"
  else
    echo "Missing packages. Run: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
