#!/usr/bin/env bash
# Builds the Debian package of the program (build-package/, or $PACKAGE_DIR)
# and checks what it holds; with --install also installs it on this machine.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGE_DIR="${PACKAGE_DIR:-$ROOT/build-package}"
install=false
[ "${1:-}" = "--install" ] && install=true

bash "$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$PACKAGE_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$PACKAGE_DIR" -j2 --target quarventa quarventa-cli gcu-sim qv_data \
    qv_packaging
(cd "$PACKAGE_DIR" && cpack -G DEB >/dev/null)
deb="$(ls -t "$PACKAGE_DIR"/quarventa_*.deb | head -n 1)"

fail() { echo "FAILED: $*" >&2; exit 1; }
info="$(dpkg-deb --info "$deb")"
contents="$(dpkg-deb --contents "$deb")"
echo "$info"
for dependency in libqt6widgets6 libudev1 qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core; do
    grep -q "Depends:.*$dependency" <<<"$info" || fail "the package does not depend on $dependency"
done
for file in ./usr/bin/quarventa ./usr/bin/quarventa-cli ./usr/bin/gcu-sim \
            ./usr/share/quarventa/CFG/Commands.CSV ./usr/share/man/man1/quarventa-cli.1 \
            ./usr/share/bash-completion/completions/quarventa-cli \
            ./usr/share/quarventa/CFG/Translations.CSV ./usr/share/quarventa/FW/ \
            ./usr/share/applications/quarventa.desktop \
            ./usr/share/icons/hicolor/scalable/apps/quarventa.svg \
            ./usr/share/icons/hicolor/48x48/apps/quarventa.png ./usr/share/man/man1/quarventa.1 \
            ./usr/lib/udev/rules.d/70-quarventa-serial.rules; do
    grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
done
echo "package: $deb"
if $install; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get install -y "$deb"
fi
