#!/usr/bin/env bash
# The Debian package from end to end on this machine: cpack builds it, apt-get installs it,
# `kodra` starts from PATH under Xvfb with a fresh HOME as a new user's would, the installation
# dialog makes the first catalogue (InstallDriver plays the user), then apt-get removes the
# package and nothing of it may be left but the user's own files. lintian checks the package
# on the way; two ordinary accounts made for the run each open a catalogue of their own, in
# turn and at once, beside the Firebird server. It installs into /usr and adds accounts: it runs
# only as root, leaves a kodra package that was there before alone, and removes its own again
# whatever happens.
#
#   debian_package.sh BUILD_DIR DRIVER_PLUGIN_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
PLUGINS=$(cd "$2" && pwd)
SKIP=77
ID=ru.brenk.Kodra

say() { echo "debian_package: $*"; }
fail() {
  say "FAIL: $*" >&2
  exit 1
}

if [ "$(id -u)" -ne 0 ]; then
  say "skipped: runs only as root, since it installs the package into /usr"
  exit $SKIP
fi
# One run at a time on a machine: another build folder's run installs the same package.
exec 9>/tmp/kodra-package-test.lock
flock -w 600 9 || fail "another package test holds /tmp/kodra-package-test.lock"
if dpkg-query -W -f='${Status}' kodra 2>/dev/null | grep -q "ok installed"; then
  say "skipped: a kodra package is installed on this machine already and is left alone"
  exit $SKIP
fi
for tool in cpack apt-get dpkg-deb Xvfb desktop-file-validate appstreamcli isql-fb timeout lintian \
  useradd userdel runuser; do
  command -v "$tool" >/dev/null || fail "$tool not found: scripts/install-deps.sh installs it"
done

work=$(mktemp -d /tmp/kodra-package.XXXXXX)
# apt reads the package as its own unprivileged user.
chmod 0755 "$work"
installed=""
xvfb=""
accounts=()
holders=()
# A program that wrongly took its own folder for the catalogue's would leave one there.
stray=/usr/bin/kodra_my.gdb
stray_before=""
if [ -e "$stray" ]; then stray_before=1; fi
cleanup() {
  local rc=$?
  if [ -z "$stray_before" ]; then rm -f "$stray"; fi
  for pid in "${holders[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  for account in "${accounts[@]}"; do userdel -r "$account" >/dev/null 2>&1 || true; done
  if [ -n "$installed" ]; then
    say "removing the package after a failure"
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 remove -y -qq kodra \
      >/dev/null 2>&1 || dpkg --remove kodra >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
  exit $rc
}
trap cleanup EXIT
trap 'exit 1' INT TERM
apt() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@" >"$work/apt.log" 2>&1 \
    || {
      cat "$work/apt.log" >&2
      fail "apt-get $*"
    }
}

# 1. The package and what it depends on.
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 \
  || {
    cat "$work/cpack.log" >&2
    fail "cpack"
  }
debs=("$work"/pkg/kodra_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single kodra_*.deb"
deb=${debs[0]}
depends=$(dpkg-deb -f "$deb" Depends)
say "$(basename "$deb") depends on: $depends"
for need in libqt6widgets6 libqt6gui6 libqt6printsupport6 libblkid1 libfbclient2 \
  firebird3.0-server-core qt6-translations-l10n; do
  [[ ", $depends," == *", $need"[\ ,]* ]] || fail "Depends does not name $need"
done

# Debian's own checks, the pedantic ones included: no error, no warning.
lintian --pedantic --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -qE '^[EW]: ' "$work/lintian.log"; then fail "lintian reports errors or warnings"; fi
say "lintian --pedantic: no error, no warning"

# 2. Installed with apt-get, as a user installs a downloaded package.
installed=1
(cd "$(dirname "$deb")" && apt install -y "./$(basename "$deb")")
dpkg-query -W -f='${Status}' kodra | grep -q "install ok installed" || fail "not installed"
dpkg-query -L kodra >"$work/paths"
path_env=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
[ "$(PATH=$path_env command -v kodra)" = /usr/bin/kodra ] || fail "kodra is not /usr/bin/kodra on PATH"
for f in /usr/bin/kodra /usr/bin/kodra-cli /usr/share/man/man1/kodra-cli.1.gz \
  /usr/share/bash-completion/completions/kodra-cli \
  /usr/share/kodra/Kodra.fbk /usr/share/applications/$ID.desktop \
  /usr/share/metainfo/$ID.metainfo.xml /usr/share/icons/hicolor/scalable/apps/$ID.svg \
  /usr/share/icons/hicolor/16x16/apps/$ID.png /usr/share/icons/hicolor/256x256/apps/$ID.png; do
  grep -qx "$f" "$work/paths" || fail "the package lacks $f"
done
desktop-file-validate /usr/share/applications/$ID.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/$ID.metainfo.xml || fail "appstreamcli validate"
[ "$(PATH=$path_env kodra-cli --version)" = "kodra-cli $(dpkg-query -W -f='${Version}' kodra)" ] \
  || fail "kodra-cli --version from PATH"
say "installed; desktop entry and metainfo valid; kodra-cli answers"

# 3. A new user's first start under Xvfb: the installation dialog, "Создать новую пустую
# базу", OK, then the main window is closed, which saves the settings.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || {
  cat "$work/xvfb.log" >&2
  fail "Xvfb did not start"
}
home="$work/home"
mkdir -p "$home" "$work/runtime"
chmod 0700 "$work/runtime"
set +e
env -i HOME="$home" PATH="$path_env" LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime" \
  DISPLAY=":$(head -n1 "$work/display")" \
  QT_QPA_PLATFORM=xcb QT_PLUGIN_PATH="$PLUGINS" QT_QPA_GENERIC_PLUGINS=kodrainstalldriver \
  timeout 180 kodra >"$work/kodra.log" 2>&1
rc=$?
set -e
cat "$work/kodra.log"
[ $rc -eq 0 ] || fail "kodra ended with $rc"
grep -q 'install-driver: window icon: .*16x16' "$work/kodra.log" \
  || fail "the program did not find its icon in the icon theme"
grep -q 'install-driver: clicking "Создать новую пустую базу"' "$work/kodra.log" \
  || fail "the installation dialog did not appear"
grep -q 'install-driver: message "База создана"' "$work/kodra.log" || fail "no catalogue was made"
grep -q 'install-driver: closing the main window' "$work/kodra.log" || fail "the dialog's OK did not return to the main window"

catalogue="$home/.local/share/Brenk/Kodra/kodra_my.gdb"
settings="$home/.config/Brenk/Kodra.ini"
[ -f "$catalogue" ] || fail "no catalogue at $catalogue"
[ -n "$stray_before" ] || [ ! -e "$stray" ] || fail "a catalogue went into /usr/bin"
[ -f "$settings" ] || fail "no settings at $settings"
grep -q "kodra_my.gdb" "$settings" || fail "the settings do not name the catalogue"
# FolderID is saved only while the folder list is open: the program had connected.
grep -qi "^FolderID=16" "$settings" || {
  cat "$settings" >&2
  fail "the program did not connect to the new catalogue"
}
folders=$(echo "select FFOLDER from TFOLDER;" | isql-fb -q -ch UTF8 -user KODRA "$catalogue")
[[ "$folders" == *"Мои диски"* ]] || fail "the new catalogue lacks its first folder: $folders"
say "the first start made $catalogue and connected to it"

# 4. Two ordinary accounts, with the Firebird server installed beside them (it owns the
# engine's machine-wide lock folder): each makes and opens a catalogue of its own, one after
# the other, then both at once; a second start of one account's program brings its running
# window to the front and ends with 0.
dpkg-query -W -f='${Status}' firebird3.0-server 2>/dev/null | grep -q "ok installed" \
  || fail "firebird3.0-server is not installed: scripts/install-deps.sh installs it"
runtime_of() { echo "$work/run-$1"; }
start_as() { # account [KEY=value...]: kodra as that account on the Xvfb display
  local account=$1
  shift
  runuser -u "$account" -- env -i HOME="$work/home-$account" PATH="$path_env" LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$(runtime_of "$account")" DISPLAY=":$(head -n1 "$work/display")" \
    QT_QPA_PLATFORM=xcb QT_PLUGIN_PATH="$work/plugins" QT_QPA_GENERIC_PLUGINS=kodrainstalldriver "$@" \
    timeout 180 kodra
}
# The driver plugin where the accounts can read it.
cp -r "$PLUGINS" "$work/plugins"
chmod -R a+rX "$work/plugins"
for n in 1 2; do
  account="kodra-test$n-$$"
  useradd --create-home --home-dir "$work/home-$account" --shell /bin/sh "$account" \
    || fail "useradd $account"
  accounts+=("$account")
  mkdir -p "$(runtime_of "$account")"
  chown "$account:" "$(runtime_of "$account")"
  chmod 0700 "$(runtime_of "$account")"
done
for account in "${accounts[@]}"; do
  start_as "$account" >"$work/$account-first.log" 2>&1 || {
    cat "$work/$account-first.log" >&2
    fail "kodra as $account ended with an error"
  }
  grep -q 'install-driver: message "База создана"' "$work/$account-first.log" || {
    cat "$work/$account-first.log" >&2
    fail "$account got no catalogue of its own"
  }
  own="$work/home-$account/.local/share/Brenk/Kodra/kodra_my.gdb"
  [ "$(stat -c '%U %a' "$own")" = "$account 600" ] \
    || fail "$own is $(stat -c '%U %a' "$own"), not $account's alone (600)"
done
say "two accounts made and opened their own catalogues one after the other"

for account in "${accounts[@]}"; do
  start_as "$account" KODRA_DRIVER_HOLD="$work/$account.done" >"$work/$account-held.log" 2>&1 &
  holders+=($!)
done
for account in "${accounts[@]}"; do
  for _ in $(seq 1 300); do
    grep -q 'install-driver: holding the main window' "$work/$account-held.log" && break
    sleep 0.1
  done
  grep -q 'install-driver: connected without the installation dialog' "$work/$account-held.log" \
    || {
      cat "$work/$account-held.log" >&2
      fail "$account's program did not connect while the other account's ran"
    }
  ! grep -q 'install-driver: message' "$work/$account-held.log" || {
    cat "$work/$account-held.log" >&2
    fail "$account's program showed a message while the other account's ran"
  }
done
say "both accounts' programs run at the same time, each on its own catalogue"

first=${accounts[0]}
set +e
start_as "$first" >"$work/$first-second.log" 2>&1
rc=$?
set -e
[ $rc -eq 0 ] || {
  cat "$work/$first-second.log" >&2
  fail "a second start by $first ended with $rc"
}
! grep -q 'install-driver:' "$work/$first-second.log" || {
  cat "$work/$first-second.log" >&2
  fail "a second start by $first opened windows of its own"
}
for _ in $(seq 1 100); do
  grep -q 'install-driver: main window brought to the front' "$work/$first-held.log" && break
  sleep 0.1
done
grep -q 'install-driver: main window brought to the front' "$work/$first-held.log" || {
  cat "$work/$first-held.log" >&2
  fail "the second start did not bring $first's running window to the front"
}
say "a second start by $first brought the running window to the front and ended with 0"
for account in "${accounts[@]}"; do touch "$work/$account.done"; done
for pid in "${holders[@]}"; do
  wait "$pid" || fail "a held program ended with an error"
done
holders=()

# 5. Removed with apt-get: no file of the package is left, the user's own files are.
apt remove -y kodra
installed=""
if dpkg-query -W -f='${Status}' kodra 2>/dev/null | grep -q "ok installed"; then
  fail "still installed after apt-get remove"
fi
left=0
while IFS= read -r path; do
  [ -e "$path" ] || continue
  # Folders such as /usr/share/icons stay for what else they hold.
  if [ -d "$path" ] && [ -n "$(ls -A "$path")" ]; then continue; fi
  say "left behind: $path" >&2
  left=1
done <"$work/paths"
[ $left -eq 0 ] || fail "the package left files behind"
[ -f "$catalogue" ] && [ -f "$settings" ] || fail "removing the package took the user's files"
say "removed; nothing of the package left, the user's catalogue and settings kept"
say "passed"
