#!/usr/bin/env bash
# Builds the study program and starts it on the demo test: installs what is missing (Debian 12),
# builds in build/, copies Velkorin and its book viewer bookview into the demo test folder
# build/demo/ (copies: the program finds its test and its viewer through its own path) and
# starts it there.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
source "$root/tools/install_packages.sh"
px_install_packages

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
cmake --build "$root/build" -j "$(nproc)" --target Velkorin bookview demo_test
cp -f "$root/build/app/Velkorin" "$root/build/demo/Velkorin"
cp -f "$root/build/platform/bookview/bookview" "$root/build/demo/bookview"
cd "$root/build/demo"
exec ./Velkorin "$@"
