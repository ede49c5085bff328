#!/usr/bin/env bash
# Installs the Debian packages Velanto needs, only those missing.
#   setup.sh           what building and running the program need (the run command)
#   setup.sh --tests   those and the test peers (the test command)
# It never removes a package the machine has: apt's plan is checked first and the install is refused
# when it would remove anything. Postfix (only wanted for its smtp-sink test peer) conflicts with every
# other mail server, so it is installed only where no other one is.
set -euo pipefail

# Building and running the program.
RUN_PACKAGES=(
  build-essential          # the C++ compiler
  cmake ninja-build        # configure and build
  pkg-config               # finds GMime and GNU SASL
  qt6-base-dev qt6-base-dev-tools                   # Qt Core, Gui, Widgets, Network, PrintSupport, DBus
  qt6-webengine-dev qt6-webengine-dev-tools         # the HTML editor
  libqt6opengl6-dev libgl-dev libxkbcommon-dev      # what Qt's CMake packages ask for
  libsqlcipher-dev         # the recipient database (linked statically)
  libgmime-3.0-dev         # MIME messages
  libgsasl-dev             # SMTP authentication
  libx11-dev               # the keyboard's Caps Lock and Num Lock state on X11 (XKB)
  fonts-dejavu-core        # a font for every window
  adwaita-icon-theme libqt6svg6                     # the toolbar and dialog icons
)

# The test peers and tools only the tests use.
TEST_PACKAGES=(
  libgtest-dev libgmock-dev googletest              # the test framework
  python3 python3-aiosmtpd # the SMTP test peer and the test scripts
  postfix                  # its smtp-sink, the fast SMTP peer (skipped where another mail server is installed)
  dnsmasq-base             # the DNS peer of the DNS component's tests
  sqlcipher                # reads the shipped database from outside the program
  poppler-utils            # pdftotext reads what the print tests print to PDF
  zlib1g-dev               # the update-check tests' compressed-answer server
  xvfb xauth               # a headless X server for the accessibility test
  dbus dbus-daemon at-spi2-core python3-pyatspi     # the accessibility test's session bus and AT-SPI
  desktop-file-utils       # validates the installed desktop entry
  clang-format             # the code's formatter
)

wanted=("${RUN_PACKAGES[@]}")
[ "${1:-}" = "--tests" ] && wanted+=("${TEST_PACKAGES[@]}")

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installed packages other than postfix that provide a mail server.
other_mail_servers() {
  dpkg-query -W -f='${Package}\t${Status}\t${Provides}\n' 2>/dev/null |
    awk -F'\t' '$1 != "postfix" && $2 ~ /install ok installed/ && $3 ~ /(^|[ ,])mail-transport-agent([ ,(]|$)/ { print $1 }'
}

missing=()
for p in "${wanted[@]}"; do
  installed "$p" && continue
  if [ "$p" = postfix ]; then
    others=$(other_mail_servers | tr '\n' ' ')
    if [ -n "$others" ]; then
      echo "setup: not installing postfix: this machine's mail server (${others% }) would be removed for it;" \
           "the tests that need its smtp-sink say that they skip"
      continue
    fi
  fi
  missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# apt's plan first: an install that would take away anything the machine has is not made.
plan=$($SUDO apt-get install -s -y -q --no-install-recommends "${missing[@]}")
removals=$(grep '^Remv ' <<<"$plan" || true)
if [ -n "$removals" ]; then
  echo "setup: installing ${missing[*]} would remove packages this machine has; nothing was installed:" >&2
  echo "$removals" >&2
  exit 1
fi
if [[ " ${missing[*]} " == *" postfix "* ]]; then
  # Only smtp-sink is wanted: never configure or start a mail system.
  echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
fi
$SUDO apt-get install -y -q --no-install-recommends --no-remove "${missing[@]}"
