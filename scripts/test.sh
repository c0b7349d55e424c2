#!/usr/bin/env bash
# Runs the whole test suite: the Windows cross builds (the end-to-end suite
# on the 64-bit one under Wine), the Linux build with warnings as errors and
# every test, the benchmarks at a small size, and the same tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzzers for a
# short time.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
here=$PWD

scripts/install-deps.sh windows

echo "== Windows cross builds"
for arch in i686 x86_64; do
  cmake -S . -B "build-win-$arch" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DUNCLASH_MINGW_ARCH="$arch" \
    -DCMAKE_BUILD_TYPE=Release -DUNCLASH_TESTS=OFF -DUNCLASH_WERROR=ON > /dev/null
  cmake --build "build-win-$arch" -j"$jobs"
done
# The 32-bit build is a PE32 console program for Intel 80386.
headers=$(i686-w64-mingw32-objdump -f -p build-win-i686/unclash.exe)
grep -q 'file format pei-i386' <<< "$headers"
grep -q 'Subsystem.*(Windows CUI)' <<< "$headers"
echo "build-win-i686/unclash.exe: PE32 console executable, Intel 80386"
scripts/windows-tests.sh prefixes
export WINEPREFIX="$here/build-wine/win64" WINEDEBUG=-all
wineserver -p  # one server for every run of the suite
trap 'wineserver -k 2> /dev/null || true' EXIT

echo "== Linux build, warnings as errors"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DUNCLASH_WERROR=ON -DUNCLASH_BENCHMARKS=ON \
  -DUNCLASH_WINDOWS_EXE="$here/build-win-x86_64/unclash.exe" \
  -DUNCLASH_WINDOWS_RUNNER=/usr/lib/wine/wine64 -DUNCLASH_WINEPREFIX="$WINEPREFIX" > /dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Benchmarks, small size (a smoke test: no times are checked)"
python3 bench/compare.py --unclash build/unclash --floor build/bench/floor --runs 1 \
  --files 20000 --dirs 200 --flat 20000 --same 2000 --work "$(mktemp -d)/trees"
build/bench/registry_benchmark --benchmark_min_time=0.01

echo "== Fuzzers (libFuzzer, ASan + UBSan), 20 seconds each"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUNCLASH_FUZZ=ON \
  -DUNCLASH_SANITIZE=ON -DUNCLASH_TESTS=OFF -DUNCLASH_WERROR=ON > /dev/null
cmake --build build-fuzz -j"$jobs"
for fuzzer in fuzz_unique_name fuzz_walk; do
  corpus=$(mktemp -d)
  build-fuzz/tests/$fuzzer -max_total_time=20 -print_final_stats=1 "$corpus" 2>&1 |
    grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY'
  rm -rf "$corpus"
done

echo "== Sanitizer build (ASan + UBSan)"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DUNCLASH_WERROR=ON -DUNCLASH_SANITIZE=ON > /dev/null
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
