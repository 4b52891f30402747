#!/usr/bin/env bash
# Makes the Debian package of a build with cpack in a temporary folder and checks its file list
# (everything expected, nothing else) and its dependencies. Needs no root.
#   package_test.sh BUILD_DIR LIBDIR DESKTOP_ENTRIES HELPER...
# DESKTOP_ENTRIES: the helpers with a desktop entry, as HELPER:D-BUS:WAYLAND interfaces separated
# by commas (empty: none).
set -euo pipefail
build=$1 libdir=$2 entries=$3
shift 3
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (tools/install-deps)"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; exit 1; }
deb=$(find "$tmp" -maxdepth 1 -name '*.deb')
[ -n "$deb" ] || { echo "FAIL: cpack made no .deb"; cat "$tmp/cpack.log"; exit 1; }
echo "package: $(basename "$deb")"

expected=(
  ./usr/lib/libOrvel.Startup.so.1.0.0 ./usr/lib/libOrvel.Startup.so.1 ./usr/lib/libOrvel.Startup.so
  ./usr/include/orvel/startup.h
  ./usr/lib/pkgconfig/orvel-startup.pc
  ./usr/lib/cmake/OrvelStartup/OrvelStartupConfig.cmake
  ./usr/lib/cmake/OrvelStartup/OrvelStartupConfigVersion.cmake
  ./usr/lib/cmake/OrvelStartup/OrvelStartupTargets.cmake
  ./usr/share/doc/orvel-helpers/copyright
  ./usr/bin/orvel ./usr/share/man/man1/orvel.1
  ./usr/share/bash-completion/completions/orvel
)
for helper in "$@"; do expected+=("./usr/bin/$helper"); done
IFS=, read -r -a entry_lines <<<"$entries"
for entry in "${entry_lines[@]}"; do expected+=("./usr/share/applications/orvel-${entry%%:*}.desktop"); done
# The scroll helper's window list on KDE Plasma comes with its entry.
[[ ",$entries" == *",scroll-capture-helper:"* ]] && expected+=(./usr/share/orvel/kwin/window-list.js)
# The library's folder as this build names it (lib, or lib/<multiarch> for the prefix /usr).
expected=("${expected[@]/#.\/usr\/lib\//./usr/$libdir/}")

# Files and links only (folders end with /); a link is listed as "path -> target".
dpkg-deb -c "$deb" | awk '$6 !~ /\/$/ { print $6 }' | sort >"$tmp/files"
# The export's per-configuration file is named after the build type.
grep -v '^\./usr/.*/cmake/OrvelStartup/OrvelStartupTargets-[a-z]*\.cmake$' "$tmp/files" >"$tmp/listed"
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"
if ! diff -u "$tmp/expected" "$tmp/listed"; then
  echo "FAIL: the package's files differ from the expected list (- expected, + packaged)"
  exit 1
fi
grep -q 'OrvelStartupTargets-[a-z]*\.cmake$' "$tmp/files" ||
  { echo "FAIL: no per-configuration targets file"; exit 1; }

# Each entry names the helper where the package puts it.
for entry in "${entry_lines[@]}"; do
  helper=${entry%%:*}
  exec_line=$(dpkg-deb --fsys-tarfile "$deb" |
    tar -xO "./usr/share/applications/orvel-$helper.desktop" | grep '^Exec=')
  [ "$exec_line" = "Exec=/usr/bin/$helper" ] || { echo "FAIL: $helper's entry: $exec_line"; exit 1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for needed in tesseract-ocr-eng libc6 libstdc++6; do
  grep -qxF "$needed" <<<"$names" || { echo "FAIL: Depends lacks $needed"; exit 1; }
done
grep -q 'Apache License 2.0' <(dpkg-deb -f "$deb" Description) ||
  { echo "FAIL: the description does not name the licence"; exit 1; }
echo "package ok: ${#expected[@]} files"
