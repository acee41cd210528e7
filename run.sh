#!/usr/bin/env bash
# Builds a program and starts it on the demo test: installs what is missing (Debian 12),
# builds in build/, copies the program and its book viewer bookview into the demo test folder
# build/demo/ (copies: the program finds its test and its viewer through its own path) and
# starts it there.
#   ./run.sh [Velkorin|Drumelle|Oskavane] [arguments...]
# The first argument names the program when it is one of the programs (Velkorin, the study
# build, by default); the other arguments go to the program (objective numbers to preselect,
# Qt options).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

program=Velkorin
case "${1:-}" in
  Velkorin) program=Velkorin; shift ;;
  Drumelle) program=Drumelle; shift ;;
  Oskavane) program=Oskavane; shift ;;
esac
case "$program" in
  Velkorin) built="$root/build/app/Velkorin" ;;
  Drumelle) built="$root/build/builds/drill/Drumelle" ;;
  Oskavane) built="$root/build/builds/exam/Oskavane" ;;
esac

source "$root/tools/install_packages.sh"
px_install_packages

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
cmake --build "$root/build" -j "$(nproc)" --target "$program" bookview demo_test
cp -f "$built" "$root/build/demo/$program"
cp -f "$root/build/platform/bookview/bookview" "$root/build/demo/bookview"
cd "$root/build/demo"
exec "./$program" "$@"
