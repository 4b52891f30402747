#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the capture helpers' desktop entries, by
# which KDE Plasma authorises them: hidden from menus, Exec= the installed helper's absolute path,
# and the interfaces each needs.
#   desktop_entries_test.sh BUILD_DIR HELPER:DBUS_INTERFACES:WAYLAND_INTERFACES...
set -euo pipefail
build=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
for wanted in "$@"; do
  IFS=: read -r helper dbus wayland <<<"$wanted"
  entry=$prefix/share/applications/orvel-$helper.desktop
  [ -f "$entry" ] || { echo "FAIL: no $entry"; ls -R "$prefix"; exit 1; }
  exec_line=$(grep '^Exec=' "$entry")
  [ "$exec_line" = "Exec=$prefix/libexec/orvel/$helper" ] || { echo "FAIL: $helper: $exec_line"; exit 1; }
  [ -x "${exec_line#Exec=}" ] || { echo "FAIL: $helper: Exec= names no installed program"; exit 1; }
  grep -qx 'NoDisplay=true' "$entry" || { echo "FAIL: $helper: shown in menus"; exit 1; }
  grep -qx "X-KDE-DBUS-Restricted-Interfaces=$dbus" "$entry" ||
    { echo "FAIL: $helper: D-Bus interfaces are not $dbus"; cat "$entry"; exit 1; }
  grep -qx "X-KDE-Wayland-Interfaces=$wayland" "$entry" ||
    { echo "FAIL: $helper: Wayland interfaces are not $wayland"; cat "$entry"; exit 1; }
  grep -qF "$entry" "$build/install_manifest.txt" ||
    { echo "FAIL: $helper: the entry is not in the install manifest"; exit 1; }
  echo "ok: $helper"
done
