#!/usr/bin/env bash
# Configures and builds Velanto into build/ (Ninja, warnings as errors).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DVELANTO_WERROR=ON >/dev/null
cmake --build build --parallel "$(nproc)"
