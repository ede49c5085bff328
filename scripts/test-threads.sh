#!/usr/bin/env bash
# Builds the tests of the code that starts threads (ctest label "threads": the database check, the DNS
# component's lookups, the update check, the SMTP session) with ThreadSanitizer into build-tsan/, only
# those targets and what they need, and runs them. Any report fails the run. Qt and GLib are not built
# with the sanitizer: tests/tsan.supp names the few of their internals it cannot see through, never our code.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DVELANTO_WERROR=ON -DBUILD_TESTING=ON -DVELANTO_SANITIZE=thread >/dev/null
# Each test is named after its executable.
targets=()
for name in $(cd build-tsan && ctest -N -L threads 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: *//p'); do
  targets+=(--target "$name")
done
[ ${#targets[@]} -gt 0 ] || { echo "no test carries the label threads" >&2; exit 1; }
bash scripts/build.sh --tsan "${targets[@]}"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
cd build-tsan
started=$SECONDS
ctest -L threads --output-on-failure --parallel "$(nproc)" --timeout 900
echo "ThreadSanitizer tests: $((SECONDS - started)) s"
