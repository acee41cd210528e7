#!/usr/bin/env bash
# Builds everything and runs every test: a RelWithDebInfo build with g++, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Qt-free libraries with clang.
# Installs what the build needs first (Debian 12). Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc)

source "$root/tools/install_packages.sh"
px_install_packages

export QT_QPA_PLATFORM=offscreen

run_build() {  # folder, then extra cmake arguments
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300
}

echo "== g++ RelWithDebInfo"
run_build "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++

echo "== g++ with AddressSanitizer and UndefinedBehaviorSanitizer"
san="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
run_build "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san"

echo "== clang 14, Qt-free libraries"
run_build "$root/build-clang" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DQT_FREE_ONLY=ON

echo "== clang 14 libFuzzer: key expressions"
# The libraries are instrumented for coverage and checked by the sanitizers; the run is a fixed
# number of inputs from a fixed seed, so it is the same every time. libFuzzer ends with a
# non-zero status on a crash, a leak, a sanitizer report or a failed check of the target.
fuzz_flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DQT_FREE_ONLY=ON -DPX_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="$fuzz_flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$root/build-fuzz" -j "$jobs" --target expr_fuzz ndx_fuzz
"$root/build-fuzz/fuzz/expr_fuzz" -runs=200000 -seed=1 -max_len=300 -timeout=10 \
  -max_total_time=600 -dict="$root/fuzz/expr.dict" -artifact_prefix="$root/build-fuzz/"

echo "== clang 14 libFuzzer: damaged index files"
"$root/build-fuzz/fuzz/ndx_fuzz" -runs=4000 -seed=1 -max_len=64 -timeout=10 \
  -max_total_time=60 -artifact_prefix="$root/build-fuzz/"

echo "All tests passed."
