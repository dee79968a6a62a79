#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into ./build-fuzz (or
# $QVR_FUZZ_BUILD_DIR) and runs each from the starting corpus in fuzz/corpus/.
# Not part of the normal build or CI. Installs clang and its runtime
# (clang, libclang-rt-14-dev) when run as root; otherwise prints the command.
#
#   scripts/fuzz.sh [RUNS]      # default 1000000 runs per target
#   scripts/fuzz.sh build       # only build
#   QVR_FUZZ_TARGETS="reg_file_import_fuzz" scripts/fuzz.sh 200000   # some targets
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QVR_FUZZ_BUILD_DIR:-$here/build-fuzz}
runs=${1:-1000000}
packages=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
  else
    echo "Missing packages. Run: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQVR_BUILD_FUZZ=ON -DQVR_BUILD_TESTS=OFF -DQVR_BUILD_BENCH=OFF -DQVR_BUILD_QT=OFF >/dev/null
targets=(${QVR_FUZZ_TARGETS:-reg_file_parser_fuzz wine_reg_parser_fuzz reg_file_import_fuzz
          regf_writer_fuzz regf_check_fuzz hive_store_fuzz})
cmake --build "$build" -j"${QVR_JOBS:-2}" --target "${targets[@]}"
[ "$runs" = build ] && exit 0
for t in "${targets[@]}"; do
  # Work on a copy, so the corpus in the source tree stays the hand-written seeds.
  work="$build/corpus/$t"
  mkdir -p "$work"
  seeds="$here/fuzz/corpus/${t%_fuzz}"
  [ -d "$seeds" ] || seeds="$here/fuzz/corpus/reg_file_parser"  # the importer reads .reg files
  cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  mkdir -p "$build/crashes/$t"
  max_len=4096
  # A hive is 8 KB at the least.
  case "$t" in regf_check_fuzz|hive_store_fuzz) max_len=32768 ;; esac
  (cd "$build/crashes/$t" && "$build/fuzz/$t" -runs="$runs" -max_len="$max_len" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 "$work" 2>&1 | tail -n 25)
done
