#!/usr/bin/env bash
# Configures and builds Velanto into build/ (Ninja, warnings as errors).
#   --no-tests        builds only the program, the DNS component and the register tool (BUILD_TESTING off)
#   --sanitize        builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
#   --tsan            builds with ThreadSanitizer into build-tsan/
#   --target NAME     builds only that target (and what it needs)
# VELANTO_JOBS sets how many compilers run at once (default: one per processor).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
testing=ON
extra=()
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-tests) testing=OFF ;;
    --sanitize) dir=build-asan; extra+=(-DVELANTO_SANITIZE=ON) ;;
    --tsan) dir=build-tsan; extra+=(-DVELANTO_SANITIZE=thread) ;;
    --target) shift; targets+=(--target "$1") ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done
cmake -S . -B "$dir" -G Ninja -DVELANTO_WERROR=ON -DBUILD_TESTING=$testing "${extra[@]}" >/dev/null
cmake --build "$dir" --parallel "${VELANTO_JOBS:-$(nproc)}" "${targets[@]}"
