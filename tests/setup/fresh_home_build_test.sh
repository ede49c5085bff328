#!/usr/bin/env bash
# A build writes nothing outside its build tree: configuring and building the program's own parts (the
# DNS component, the register tool, the shipped files) with a fresh, empty HOME leaves HOME empty.
#   fresh_home_build_test.sh SOURCE_DIR [JOBS]
set -euo pipefail
source_dir=$1
jobs=${2:-2}
home=$(mktemp -d)
build=$(mktemp -d)
trap 'rm -rf "$home" "$build"' EXIT
in_fresh_home() { env -i PATH="$PATH" HOME="$home" LANG=C.UTF-8 "$@"; }
in_fresh_home cmake -S "$source_dir" -B "$build" -G Ninja -DBUILD_TESTING=OFF > "$build/configure.log" ||
  { cat "$build/configure.log"; exit 1; }
in_fresh_home cmake --build "$build" --parallel "$jobs" --target trivex velanto-regsvr velanto_runtime_files \
  > "$build/build.log" || { tail -n 50 "$build/build.log"; exit 1; }
left=$(cd "$home" && find . -mindepth 1)
if [ -n "$left" ]; then
  echo "FAIL: the build wrote into HOME:"
  echo "$left"
  exit 1
fi
echo "HOME is still empty after the build"
