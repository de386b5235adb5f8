#!/usr/bin/env bash
# Builds everything and runs the main job: a batch measurement of every test, writing the result
# table out/ps_tzvcrypto.csv, the summary out/ps_tzvcrypto_sum.csv, the console copy and the signal file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target ps_tzvcrypto
mkdir -p out
./build/ps_tzvcrypto -B -l"$PWD/out" -r -u -o -g "$@"
