#!/usr/bin/env bash
# Sets up, builds and starts Velanto: installs what building and running need (no test peers), builds
# the program, the DNS component and its register tool (no tests), registers the DNS component it has
# just built for the user who runs it, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh --no-tests
# The set-up step of this command: Network Tools creates the DNS component through the user's class
# registry. Without it the program still runs, and Network Tools says how to register.
echo "run: registering the DNS component build/bin/libtrivex.so for $(id -un) with velanto-regsvr"
build/bin/velanto-regsvr build/bin/libtrivex.so ||
  echo "run: the DNS component is not registered; Network Tools will not work until it is" >&2
exec build/bin/Velanto
