#!/usr/bin/env bash
# Builds the hostile-input tests with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# and runs them (ctest label "hostile"), leak checks included. QtWebEngine's own new/delete mismatches
# are not ours.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh --sanitize --target test_mail_hostile --target test_transfer_hostile --target test_dnsresolver_hostile \
  --target test_tools_hostile_http --target test_tools_hostile --target test_tools_forms_hostile --target test_mail_print_hostile
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=new_delete_type_mismatch=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-asan
ctest -L hostile --output-on-failure --timeout 300
