#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing and we are root;
# otherwise prints the apt-get line to run.
set -euo pipefail
packages=(g++ cmake make libssl-dev libgtest-dev python3-cryptography-vectors python3-matplotlib pkg-config
  libbenchmark-dev valgrind clang)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
else
  echo "Missing packages; run: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
