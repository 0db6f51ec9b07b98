#!/usr/bin/env bash
# Installs the build into a temporary prefix, makes the prefix read-only and
# starts the installed program from there as an ordinary user: --help and
# --version answer without a display; under Xvfb the program starts on the
# simulated GCU, captures an edit and "Save Config." writes into the per-user
# data folder, which it seeded from the shipped files; quarventa-cli answers
# without a display and lists ports; the installed files are left exactly as
# they were. Then an upgrade: files of the per-user copy that the user never
# changed are refreshed, a changed one is kept and the user told.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"

work="$(mktemp -d)"
cleanup() { chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
chmod 755 "$work"
prefix="$work/prefix"
home="$work/home"
mkdir -p "$home"

fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# ---------------------------------------------------------------- installed files
for file in bin/quarventa bin/quarventa-cli bin/gcu-sim share/quarventa/CFG/Commands.CSV \
            share/quarventa/FW share/man/man1/quarventa-cli.1 \
            share/bash-completion/completions/quarventa-cli \
            share/quarventa/CFG/Translations.CSV share/applications/quarventa.desktop \
            share/icons/hicolor/scalable/apps/quarventa.svg \
            share/icons/hicolor/48x48/apps/quarventa.png \
            share/icons/hicolor/256x256/apps/quarventa.png \
            share/man/man1/quarventa.1 lib/udev/rules.d/70-quarventa-serial.rules; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
rule="$prefix/lib/udev/rules.d/70-quarventa-serial.rules"
grep -q 'ATTRS{idVendor}=="1a86", ATTRS{idProduct}=="7523", TAG+="uaccess"' "$rule" ||
    fail "udev rule without uaccess for the CH340"
grep -q 'ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", ENV{ID_MM_DEVICE_IGNORE}="1"' "$rule" ||
    fail "udev rule does not keep ModemManager away from the FTDI adapter"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/quarventa.desktop"
fi
if command -v groff >/dev/null; then
    for page in quarventa.1 quarventa-cli.1; do
        warnings="$(groff -man -ww -z "$prefix/share/man/man1/$page" 2>&1)"
        [ -z "$warnings" ] || fail "man page warnings ($page): $warnings"
    done
fi
bash -c "source '$prefix/share/bash-completion/completions/quarventa-cli' && complete -p quarventa-cli" \
    >/dev/null || fail "the bash completion of quarventa-cli does not load"

# ---------------------------------------------------------------- read-only prefix
(cd "$prefix" && find . -type f -exec sha256sum {} + | sort) >"$work/before"
chmod -R a-w "$prefix"

# Root writes anywhere: the program runs as an ordinary user, as it would.
as_user() {
    if [ "$(id -u)" -eq 0 ]; then
        chown -R nobody "$home"
        setpriv --reuid=nobody --regid=nogroup --clear-groups \
            env HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$work/tmp-user" "$@"
    else
        env HOME="$home" XDG_DATA_HOME="$home/.local/share" "$@"
    fi
}
mkdir -p "$work/tmp-user" && chmod 1777 "$work/tmp-user"

# ---------------------------------------------------------------- --help and --version without a display
out="$(as_user env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/quarventa" --help)" ||
    fail "--help did not exit 0"
for option in --demo --data-dir --log --version --help; do
    grep -q -- "$option" <<<"$out" || fail "--help does not list $option"
done
out="$(as_user env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/quarventa" --version)" ||
    fail "--version did not exit 0"
version="$(sed -n 's/^project(Quarventa VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")"
[ "$out" = "quarventa $version" ] || fail "--version printed \"$out\", expected quarventa $version"

# ---------------------------------------------------------------- quarventa-cli without a display
cli() { as_user env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
out="$(cli "$prefix/bin/quarventa-cli" --version)" || fail "quarventa-cli --version did not exit 0"
[ "$out" = "quarventa-cli $version" ] || fail "quarventa-cli --version printed \"$out\""
out="$(cli "$prefix/bin/quarventa-cli" --help)" || fail "quarventa-cli --help did not exit 0"
for word in ports info backup diff get set restore monitor flash --port --json --yes; do
    grep -q -- "$word" <<<"$out" || fail "quarventa-cli --help does not list $word"
done
out="$(cli env GCU_EXTRA_PORTS="/dev/null=Arduino Mega 2560 (install check)" \
    "$prefix/bin/quarventa-cli" ports)" || fail "quarventa-cli ports did not exit 0"
grep -qE '^/dev/null +gcu +Arduino Mega 2560 \(install check\)$' <<<"$out" ||
    fail "quarventa-cli ports did not list the extra port as a GCU: $out"
status=0
cli "$prefix/bin/quarventa-cli" frobnicate 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "quarventa-cli with an unknown subcommand exited $status, not 2"

# ---------------------------------------------------------------- the installed program under Xvfb
userData="$home/.local/share/Quarventa V5"
out="$(as_user env -u QT_QPA_PLATFORM -u GCU_EXTRA_PORTS xvfb-run -a timeout -k 5 180 \
    "$prefix/bin/quarventa" --demo --install-check install-check.QCF 2>&1)" || {
    echo "$out" >&2
    fail "the install check in the installed program failed"
}
echo "$out"
grep -qx "data folder: $userData" <<<"$out" || fail "the program did not work in the per-user folder"
[ -s "$userData/CFG/install-check.QCF" ] || fail "Save Config. did not write into the per-user folder"
cmp -s "$userData/CFG/Commands.CSV" "$prefix/share/quarventa/CFG/Commands.CSV" ||
    fail "the per-user folder was not seeded from the shipped CFG/"

chmod -R u+w "$prefix"
(cd "$prefix" && find . -type f -exec sha256sum {} + | sort) >"$work/after"
cmp -s "$work/before" "$work/after" || fail "the installed files changed"

# ---------------------------------------------------------------- an upgrade
# The user changes a text of the per-user translation table; then version N+1
# is installed over N with another Commands.CSV and Translations.CSV. At the
# next start the untouched Commands.CSV is refreshed from the installation,
# the user's Translations.CSV is kept and the user is told so.
userTable="$userData/CFG/Translations.CSV"
LC_ALL=C sed -i 's/;Connetti;/;Collega;/' "$userTable"
grep -q ';Collega;' "$userTable" || fail "could not edit the per-user translation table"
chmod -R u+w "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
shippedCommands="$prefix/share/quarventa/CFG/Commands.CSV"
shippedTable="$prefix/share/quarventa/CFG/Translations.CSV"
LC_ALL=C sed -i 's/^1;MINVBATT;Minimum battery voltage: below it/1;MINVBATT;Minimum battery voltage - below it/' \
    "$shippedCommands"
LC_ALL=C sed -i 's/Keine Verbindung/Nicht verbunden/g' "$shippedTable"
grep -q 'voltage - below' "$shippedCommands" || fail "could not make version N+1's Commands.CSV"
grep -q 'Nicht verbunden' "$shippedTable" || fail "could not make version N+1's Translations.CSV"
chmod -R a-w "$prefix"
out="$(as_user env -u QT_QPA_PLATFORM -u GCU_EXTRA_PORTS xvfb-run -a timeout -k 5 180 \
    "$prefix/bin/quarventa" --demo --install-check upgraded.QCF 2>&1)" || {
    echo "$out" >&2
    fail "the install check after the upgrade failed"
}
echo "$out"
cmp -s "$userData/CFG/Commands.CSV" "$shippedCommands" ||
    fail "the untouched per-user Commands.CSV was not refreshed by the upgrade"
grep -q ';Collega;' "$userTable" || fail "the user's Translations.CSV was not kept"
grep -q 'Nicht verbunden' "$userTable" && fail "the user's Translations.CSV was overwritten"
grep -q '^message: .*CFG/Translations.CSV' <<<"$out" ||
    fail "the user was not told that a newer Translations.CSV came with the upgrade"
grep -q '^message: .*CFG/Commands.CSV' <<<"$out" &&
    fail "the refreshed Commands.CSV was reported as kept"
chmod -R u+w "$prefix"
echo "install check passed"
