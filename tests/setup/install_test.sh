#!/usr/bin/env bash
# `cmake --install` into a fresh prefix: every file where the program finds it, a desktop entry that
# desktop-file-validate accepts, the DNS component registered for every user, and Network Tools working
# for a user with an empty home who never registered anything.
#   install_test.sh SOURCE_DIR BUILD_DIR PROBE
# PROBE (tests/setup/InstallProbe.cpp) is copied beside the installed program and run from there.
set -euo pipefail
source_dir=$1
build_dir=$2
probe=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir "$work/installer-home"
env -i PATH="$PATH" HOME="$work/installer-home" LANG=C.UTF-8 \
  cmake --install "$build_dir" --prefix "$prefix" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; exit 1; }
[ -z "$(ls -A "$work/installer-home")" ] || fail "the install wrote into the installer's home: $(ls -A "$work/installer-home")"

shipped=(bin/Velanto bin/velanto-regsvr lib/velanto/libtrivex.so share/velanto/Group.mdb
         share/applications/velanto.desktop share/icons/hicolor/scalable/apps/velanto.svg
         share/velanto-com/classes.reg)
for n in 1 2 3 4 5; do shipped+=("share/velanto/Template$n.jpg"); done
for page in "$source_dir"/app/help/*.htm; do shipped+=("share/velanto/Help/$(basename "$page")"); done
for f in "${shipped[@]}"; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done

# The machine-wide registry is for every user to read, and only its owner to write.
for entry in share/velanto-com:755 share/velanto-com/classes.reg:644; do
  mode=$(stat -c %a "$prefix/${entry%%:*}" 2>/dev/null || echo none)
  [ "$mode" = "${entry##*:}" ] || fail "${entry%%:*} has mode $mode, not ${entry##*:}"
done

desktop=$prefix/share/applications/velanto.desktop
grep -qx "Exec=\"$prefix/bin/Velanto\"" "$desktop" || fail "the desktop entry does not start the installed program"
skipped=""
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the desktop entry"
else
  skipped="desktop-file-validate is missing (package desktop-file-utils, installed by the test command)"
fi

# A user with an empty home who never registered anything; as root, another user altogether.
cp "$probe" "$prefix/bin/install-probe"
user_home=$work/user-home
mkdir "$user_home"
as_user=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
  chown 65534:65534 "$user_home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
out=$(env -i PATH="$PATH" HOME="$user_home" LANG=C.UTF-8 "${as_user[@]}" "$prefix/bin/install-probe" localhost 2>&1) ||
  fail "the probe failed: $out"
grep -qx "program folder: $prefix/share/velanto/" <<<"$out" ||
  fail "the installed program does not take its files from $prefix/share/velanto: $out"
grep -qx "localhost: 127.0.0.1" <<<"$out" || fail "Network Tools does not convert localhost for a new user: $out"
[ -z "$(ls -A "$user_home")" ] || fail "the program wrote into the user's home: $(ls -A "$user_home")"

[ "$failures" -eq 0 ] || exit 1
if [ -n "$skipped" ]; then
  echo "SKIP: $skipped"
  exit 77
fi
echo "the install is complete and works for a new user"
