#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as its users would: runs the installed
# program (also after moving the prefix, and with a stand-in library swapped in through
# LD_LIBRARY_PATH), builds a C program against it with pkg-config, and a CMake project with
# find_package(tzvcrypto).
# Usage: test_install.sh BUILD_DIR STAND_IN_LIBRARY_DIR
set -uo pipefail
build=$1 standin=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# check NAME COMMAND...: runs the command and counts the check; prints its output when it fails.
check() {
  local name=$1
  shift
  if out=$("$@" 2>&1); then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n%s\n' "$name" "$out"
  fi
}
has() { grep -q -- "$2" <<<"$1"; }

cmake --install "$build" --prefix "$work/p" >/dev/null || { echo "FAILED: cmake --install"; exit 1; }
p=$work/p
lib=$(dirname "$(find "$p" -name libtzvcrypto.so.13)") # lib, or lib/<multiarch> under /usr

check "soname links" test "$(readlink "$lib/libtzvcrypto.so")" = libtzvcrypto.so.13 -a \
  "$(readlink "$lib/libtzvcrypto.so.13")" = libtzvcrypto.so.13.0.0 -a \
  "$(readlink "$lib/libkyncp.so")" = libkyncp.so.13 -a -f "$p/include/tzvcrypto.h" -a -f "$p/include/kyncp.h"
check "version" has "$(cd "$work" && "$p/bin/ps_tzvcrypto" -v)" "Performance System"
check "measurement" bash -c "cd '$work' && '$p/bin/ps_tzvcrypto' -B -fsm3_msg -dlength=64 -r'$work/r.csv' >/dev/null &&
  grep -q '^tzv_sm3_msg_digest_mb16,64,' '$work/r.csv'"
check "installed libraries" has "$(ldd "$p/bin/ps_tzvcrypto")" "libtzvcrypto.so.13 => $p/bin/../lib"
export PKG_CONFIG_PATH=$lib/pkgconfig
check "pkg-config" test "$(echo $(pkg-config --cflags --libs tzvcrypto kyncp))" = "-I$p/include -L$lib -ltzvcrypto -lkyncp"
check "pkg-config program" bash -c "cc -std=c99 -Wall -Wextra -Werror -o '$work/c' '$here/consumer/sm3_abc.c' \
  \$(pkg-config --cflags --libs tzvcrypto kyncp) && LD_LIBRARY_PATH='$lib' '$work/c' | grep -qx 'kyncp 13, status 0, digests right'"
check "find_package project" bash -c "cmake -S '$here/consumer' -B '$work/cm' -DCMAKE_PREFIX_PATH='$p' >/dev/null &&
  cmake --build '$work/cm' >/dev/null && '$work/cm/sm3_abc' | grep -qx 'kyncp 13, status 0, digests right'"

# The run path is relative: a moved prefix still works.
mv "$p" "$work/q" && p=$work/q
check "moved prefix" has "$(ldd "$p/bin/ps_tzvcrypto")" "libkyncp.so.13 => $p/bin/../lib"
check "LD_LIBRARY_PATH wins" has "$(LD_LIBRARY_PATH=$standin ldd "$p/bin/ps_tzvcrypto")" "libtzvcrypto.so.13 => $standin"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
