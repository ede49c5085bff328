#!/usr/bin/env bash
# Configures and builds Velanto into build/ (Ninja, warnings as errors).
#   --sanitize        builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
#   --target NAME     builds only that target (and what it needs)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
extra=()
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) dir=build-asan; extra+=(-DVELANTO_SANITIZE=ON) ;;
    --target) shift; targets+=(--target "$1") ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done
cmake -S . -B "$dir" -G Ninja -DVELANTO_WERROR=ON "${extra[@]}" >/dev/null
cmake --build "$dir" --parallel "${VELANTO_JOBS:-$(nproc)}" "${targets[@]}"
