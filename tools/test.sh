#!/usr/bin/env bash
# Builds everything in the given directory (default: build) and runs every test with CTest.
# PS_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs the unit and
# end-to-end tests (the library known-answer tests run in the plain build); PS_CLANG=1 builds the
# libraries with clang and runs their known-answer tests.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
bash tools/deps.sh
if [ "${PS_CLANG:-0}" = 1 ]; then
  # The libraries and their known-answer tests from clang: where C++ leaves an order of evaluation
  # open, clang and GCC can choose differently in the same template.
  CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPS_TESTS=ON -DPS_SANITIZE=OFF >/dev/null
  filter=(-R '^libs\.')
  targets=(--target lib_tests)
elif [ "${PS_SANITIZE:-0}" = 1 ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPS_TESTS=ON -DPS_SANITIZE=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  filter=(-R '^(unit|e2e)\.')
  targets=(--target unit_tests e2e_tests)
else
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPS_TESTS=ON -DPS_SANITIZE=OFF >/dev/null
  filter=()
  targets=()
fi
cmake --build "$dir" -j2 "${targets[@]}"
ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2 "${filter[@]}"
