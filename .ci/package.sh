#!/usr/bin/env bash
# CI: builds the Debian package from the already-built tree (default build/) and checks
# it: the desktop entry and metainfo validate, the package holds every installed part,
# its dependencies come from the binaries, its post-install script reloads udev, and
# lintian (when available) reports no errors.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
scripts/install-deps.sh --packaging

desktop-file-validate packaging/org.vantrel.Vantrel.desktop
appstreamcli validate --no-net packaging/org.vantrel.Vantrel.metainfo.xml

# Nothing to do when the tree is up to date; brings generated files (manual pages,
# completion, changelog) up to date when their sources changed since.
cmake --build "$build" -j2 >/dev/null

out="$build/package"
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" || { cat "$out/cpack.log"; exit 1; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$out/vantrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package.sh: no $deb"; ls "$out"; exit 1; }

fail=0
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in \
  ./usr/bin/vantrel ./usr/bin/vantrelctl \
  ./usr/lib/vantrel/vantrel ./usr/lib/vantrel/vantrelctl \
  ./usr/lib/vantrel/Lang0409.ini ./usr/lib/vantrel/Lang0804.ini ./usr/lib/vantrel/Lang0404.ini \
  ./usr/lib/vantrel/Lang040C.ini ./usr/lib/vantrel/Lang0C04.ini \
  ./usr/lib/vantrel/Help/index.html ./usr/lib/vantrel/Skins/Main.ini \
  ./usr/lib/vantrel/Skins/main_bg.jpg ./usr/lib/vantrel/Skins/main_bg@2x.jpg \
  ./usr/lib/vantrel/Skins/UserDengColor_3.userd \
  ./usr/share/applications/org.vantrel.Vantrel.desktop \
  ./usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml \
  ./usr/share/dbus-1/interfaces/org.vantrel.Vantrel1.Keyboard.xml \
  ./usr/share/dbus-1/services/org.vantrel.Vantrel1.service \
  ./usr/share/icons/hicolor/48x48/apps/vantrel.png ./usr/share/icons/hicolor/128x128/apps/vantrel.png \
  ./usr/share/icons/hicolor/256x256/apps/vantrel.png ./usr/share/icons/hicolor/scalable/apps/vantrel.svg \
  ./usr/lib/udev/rules.d/70-vantrel.rules \
  ./usr/share/man/man1/vantrel.1.gz ./usr/share/man/man1/vantrelctl.1.gz \
  ./usr/share/bash-completion/completions/vantrelctl \
  ./usr/share/doc/vantrel/copyright; do
  if ! grep -qxF "$f" <<<"$listing"; then echo "package.sh: missing $f"; fail=1; fi
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || { echo "package.sh: Depends lacks the Qt libraries: $depends"; fail=1; }
grep -q 'libhidapi-hidraw0' <<<"$depends" || { echo "package.sh: Depends lacks hidapi: $depends"; fail=1; }
grep -q 'qt6-wayland' <<<"$depends" || { echo "package.sh: Depends lacks Qt's Wayland plugin: $depends"; fail=1; }
grep -q 'qt6-translations-l10n' <<<"$depends" || { echo "package.sh: Depends lacks Qt's translations: $depends"; fail=1; }
dpkg-deb -f "$deb" Recommends | grep -q gnome-shell-extension-appindicator \
  || { echo "package.sh: does not recommend the AppIndicator extension"; fail=1; }
dpkg-deb -I "$deb" postinst | grep -q 'udevadm trigger' || { echo "package.sh: postinst does not trigger udev"; fail=1; }

if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb" || fail=1
else
  echo "package.sh: lintian not available, skipped"
fi
[ "$fail" = 0 ] && echo "package.sh: $deb is complete"
exit "$fail"
