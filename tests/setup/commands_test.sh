#!/usr/bin/env bash
# The run and test commands recorded with stand-ins for apt-get, dpkg-query, sudo, id, cmake, ctest and
# the built programs: what each asks apt for, how it builds, and that nothing ever removes a package.
#   commands_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Packages only tests use: the run command must ask for none of them.
TEST_PEERS=(libgtest-dev libgmock-dev googletest python3-aiosmtpd postfix dnsmasq-base sqlcipher poppler-utils
            xvfb xauth dbus-daemon at-spi2-core python3-pyatspi desktop-file-utils)

mkdir -p "$work/bin" "$work/repo/build/bin"
cp -r "$source_dir/scripts" "$work/repo/"
log=$work/log
# Every stand-in writes one line "name args..." to the log.
stub() {
  printf '#!/usr/bin/env bash\necho "%s $*" >> "%s"\n%s\n' "$1" "$log" "$2" > "$work/bin/$1"
  chmod +x "$work/bin/$1"
}
# Nothing is installed; STUB_MTA names an installed mail server; STUB_REMOVES makes apt plan a removal.
stub dpkg-query 'case "$*" in
  *Provides*) [ -n "${STUB_MTA:-}" ] && printf "%s\tinstall ok installed\tmail-transport-agent, default-mta\n" "$STUB_MTA"
              printf "bash\tinstall ok installed\t\n"; exit 0 ;;
  *) echo "unknown ok not-installed"; exit 1 ;;
esac'
stub apt-get 'if [ "$1" = install ] && [ "$2" = -s ]; then
  for p in "$@"; do case "$p" in -*|install) ;; *) echo "Inst $p (1.0 Debian:12)";; esac; done
  [ -n "${STUB_REMOVES:-}" ] && echo "Remv exim4-daemon-light [4.96-15]"
fi; exit 0'
stub sudo '"$@"'
stub id 'case "$1" in -u) echo 1000;; -un) echo tester;; *) echo "uid=1000(tester)";; esac'
stub debconf-set-selections 'cat > /dev/null'
stub cmake ''
stub ctest ''
for program in Velanto velanto-regsvr; do
  printf '#!/usr/bin/env bash\necho "%s $*" >> "%s"\n' "$program" "$log" > "$work/repo/build/bin/$program"
  chmod +x "$work/repo/build/bin/$program"
done

run() { # run COMMAND [VAR=VALUE...]: the command's output goes to $work/out
  local command=$1
  shift
  : > "$log"
  (cd "$work/repo" && env PATH="$work/bin:$PATH" "$@" bash "scripts/$command" > "$work/out" 2>&1)
}
install_line() { grep '^apt-get install ' "$log" | grep -v '^apt-get install -s ' || true; }
asks_for() { [[ " $(install_line) " == *" $1 "* ]]; }

# The run command: packages to build and run, a build without tests, the user's registration, the start.
run run.sh || fail "run.sh failed: $(cat "$work/out")"
asks_for qt6-base-dev || fail "run.sh does not install the program's build dependencies: $(install_line)"
for peer in "${TEST_PEERS[@]}"; do
  asks_for "$peer" && fail "run.sh asks for the test peer $peer"
done
grep -q '^sudo apt-get install ' "$log" || fail "run.sh does not install through sudo for a user other than root"
[[ "$(install_line)" == *" --no-remove "* ]] || fail "run.sh installs without refusing removals: $(install_line)"
grep -q '^cmake .*-DBUILD_TESTING=OFF' "$log" || fail "run.sh builds the tests: $(grep '^cmake' "$log")"
grep -q '^velanto-regsvr build/bin/libtrivex.so$' "$log" || fail "run.sh does not register the module it built"
grep -q 'registering the DNS component build/bin/libtrivex.so for tester' "$work/out" ||
  fail "run.sh does not say that it registers the DNS component"
[ "$(tail -n 1 "$log")" = "Velanto " ] || fail "run.sh does not end by starting the program"

# The test command adds the peers, and postfix where no other mail server is installed.
run test.sh || fail "test.sh failed: $(cat "$work/out")"
for peer in libgtest-dev python3-aiosmtpd dnsmasq-base poppler-utils xvfb python3-pyatspi postfix desktop-file-utils; do
  asks_for "$peer" || fail "test.sh does not install $peer"
done
grep -q '^cmake .*-DBUILD_TESTING=ON' "$log" || fail "test.sh does not build the tests"
grep -q '^ctest ' "$log" || fail "test.sh does not run the tests"

# Where another mail server is installed, postfix (which would replace it) is left out, and said so.
run test.sh STUB_MTA=exim4-daemon-light || fail "test.sh failed beside exim: $(cat "$work/out")"
asks_for postfix && fail "test.sh installs postfix beside exim4-daemon-light"
asks_for python3-aiosmtpd || fail "test.sh beside exim leaves out the other peers"
grep -q 'not installing postfix.*exim4-daemon-light' "$work/out" || fail "test.sh does not say why postfix is left out"

# An install that apt plans with a removal is not made at all.
if run test.sh STUB_REMOVES=1; then fail "test.sh went on although apt planned a removal"; fi
[ -z "$(install_line)" ] || fail "setup installed although apt planned a removal"
grep -q 'would remove packages' "$work/out" || fail "setup does not say why it stopped"
grep -q 'Remv exim4-daemon-light' "$work/out" || fail "setup does not name what would be removed"

[ "$failures" -eq 0 ] && echo "all command checks passed"
exit "$((failures > 0))"
