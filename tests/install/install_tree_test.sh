#!/usr/bin/env bash
# Installs the built tree into an empty folder and runs both programs from there, started
# through their bin/ links from an unrelated working folder: they must find their
# language files, skins and help in the program folder.
# Usage: install_tree_test.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log"

fail=0
check() { if ! "$@"; then echo "FAILED: $*"; fail=1; fi; }

for program in vantrelctl vantrel; do
  check test -L "$prefix/bin/$program"
  check test "$(readlink "$prefix/bin/$program")" = "../lib/vantrel/$program"
  check test -x "$prefix/lib/vantrel/$program"
done
for f in Lang0409.ini Lang0804.ini Lang0404.ini Lang040C.ini Lang0C04.ini Help/index.html \
         Skins/Main.ini Skins/UserDengColor_3.userd; do
  check test -f "$prefix/lib/vantrel/$f"
done
# Every skin picture comes with its twice-as-large twin for high-density screens.
pictures=0
for f in "$prefix"/lib/vantrel/Skins/*.jpg "$prefix"/lib/vantrel/Skins/*.bmp "$prefix"/lib/vantrel/Skins/*.png; do
  case $f in *@2x.*) continue ;; esac
  pictures=$((pictures + 1))
  check test -f "${f%.*}@2x.${f##*.}"
done
check test "$pictures" -gt 40
check test -f "$prefix/lib/udev/rules.d/70-vantrel.rules"
check test -f "$prefix/share/applications/org.vantrel.Vantrel.desktop"
check test -f "$prefix/share/dbus-1/interfaces/org.vantrel.Vantrel1.Keyboard.xml"
# The session bus starts the installed program in the tray for a call.
service="$prefix/share/dbus-1/services/org.vantrel.Vantrel1.service"
check grep -qxF "Name=org.vantrel.Vantrel1" "$service"
check grep -qxF "Exec=$prefix/bin/vantrel /Start" "$service"
check test -f "$prefix/share/bash-completion/completions/vantrelctl"
check test -f "$prefix/share/man/man1/vantrelctl.1.gz"
# Nothing but the two programs and their data: no test or benchmark program.
check test "$(find "$prefix/lib/vantrel" -maxdepth 1 -type f -perm -u+x | wc -l)" = 2

mkdir "$tmp/elsewhere"
cd "$tmp/elsewhere"
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
status=$("$prefix/bin/vantrelctl" --simulate="$tmp/state.json" status) || { echo "FAILED: vantrelctl status"; fail=1; }
grep -q . <<<"$status" || { echo "FAILED: vantrelctl status printed nothing"; fail=1; }
# Without a keyboard the French text of the language file beside the program is printed.
"$prefix/bin/vantrelctl" --simulate="$tmp/state.json" sim unplug >/dev/null
absent=$("$prefix/bin/vantrelctl" --simulate="$tmp/state.json" --language 1036 profile 2>&1) && code=0 || code=$?
check test "$code" = 3
grep -q "Aucun clavier" <<<"$absent" || { echo "FAILED: no French text: $absent"; fail=1; }
"$prefix/bin/vantrel" --help >"$tmp/help.txt" || { echo "FAILED: vantrel --help"; fail=1; }
grep -q -- '--help' "$tmp/help.txt" || { echo "FAILED: vantrel --help printed no usage"; fail=1; }
exit $fail
