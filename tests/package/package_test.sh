#!/usr/bin/env bash
# Makes the Debian packages of a build with cpack in a temporary folder (orvel-helpers and
# liborvel-startup-dev) and checks their file lists (everything expected, nothing else), their
# dependencies, their copyright and that no program names a build path. Needs no root.
#   package_test.sh BUILD_DIR LIBDIR DESKTOP_ENTRIES GNOME_EXTENSION HELPER...
# DESKTOP_ENTRIES: the helpers with a desktop entry, as HELPER:D-BUS:WAYLAND interfaces separated
# by commas (empty: none). GNOME_EXTENSION: the uuid of GNOME Shell's extension (empty: none).
set -euo pipefail
build=$1 libdir=$2 entries=$3 extension=$4
shift 4
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (tools/install-deps)"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; exit 1; }
deb=$(find "$tmp" -maxdepth 1 -name 'orvel-helpers_*.deb')
dev=$(find "$tmp" -maxdepth 1 -name 'liborvel-startup-dev_*.deb')
[ -n "$deb" ] && [ -n "$dev" ] || { echo "FAIL: cpack did not make both packages"; cat "$tmp/cpack.log"; exit 1; }
echo "packages: $(basename "$deb") $(basename "$dev")"

runtime=(
  ./usr/lib/libOrvel.Startup.so.1.0.0 ./usr/lib/libOrvel.Startup.so.1
  ./usr/share/doc/orvel-helpers/copyright ./usr/share/doc/orvel-helpers/changelog.gz
  ./usr/bin/orvel ./usr/share/man/man1/orvel.1.gz
  ./usr/share/bash-completion/completions/orvel
)
for helper in "$@"; do runtime+=("./usr/libexec/orvel/$helper"); done
IFS=, read -r -a entry_lines <<<"$entries"
for entry in "${entry_lines[@]}"; do runtime+=("./usr/share/applications/orvel-${entry%%:*}.desktop"); done
development=(
  ./usr/lib/libOrvel.Startup.so
  ./usr/include/orvel/startup.h
  ./usr/lib/pkgconfig/orvel-startup.pc
  ./usr/lib/cmake/OrvelStartup/OrvelStartupConfig.cmake
  ./usr/lib/cmake/OrvelStartup/OrvelStartupConfigVersion.cmake
  ./usr/lib/cmake/OrvelStartup/OrvelStartupTargets.cmake
  ./usr/share/doc/liborvel-startup-dev/copyright ./usr/share/doc/liborvel-startup-dev/changelog.gz
)
# The scroll helper's window list on KDE Plasma comes with its entry.
[[ ",$entries" == *",scroll-capture-helper:"* ]] && runtime+=(./usr/share/orvel/kwin/window-list.js)
# GNOME Shell's extension, answering the scroll helper where the package puts it.
[ -n "$extension" ] && runtime+=("./usr/share/gnome-shell/extensions/$extension/extension.js"
                                 "./usr/share/gnome-shell/extensions/$extension/metadata.json")
# The library's folder as this build names it (lib/<multiarch> on Debian).
runtime=("${runtime[@]/#.\/usr\/lib\//./usr/$libdir/}")
development=("${development[@]/#.\/usr\/lib\//./usr/$libdir/}")

# Files and links of package $1 (folders end with /; a link is listed as "path -> target") against
# the list that follows.
check_files() {
  local package=$1
  shift
  dpkg-deb -c "$package" | awk '$6 !~ /\/$/ { print $6 }' | sort >"$tmp/files"
  # The export's per-configuration file is named after the build type.
  grep -v '^\./usr/.*/cmake/OrvelStartup/OrvelStartupTargets-[a-z]*\.cmake$' "$tmp/files" >"$tmp/listed" || true
  printf '%s\n' "$@" | sort >"$tmp/expected"
  if ! diff -u "$tmp/expected" "$tmp/listed"; then
    echo "FAIL: $(basename "$package")'s files differ from the expected list (- expected, + packaged)"
    exit 1
  fi
}
check_files "$deb" "${runtime[@]}"
check_files "$dev" "${development[@]}"
# Listings are read whole before they are searched: a search that stops at its first match would
# end the listing's writer early, which pipefail takes for a failure.
grep -q 'OrvelStartupTargets-[a-z]*\.cmake$' "$tmp/files" ||
  { echo "FAIL: no per-configuration targets file"; exit 1; }
# The shlibs file and the ldconfig trigger for the library's users.
grep -qx 'activate-noawait ldconfig' <<<"$(dpkg-deb -I "$deb" triggers)" ||
  { echo "FAIL: no ldconfig trigger"; exit 1; }
grep -q '^libOrvel.Startup 1 orvel-helpers' <<<"$(dpkg-deb -I "$deb" shlibs)" ||
  { echo "FAIL: no shlibs entry"; exit 1; }

# Each entry names the helper where the package puts it.
for entry in "${entry_lines[@]}"; do
  helper=${entry%%:*}
  exec_line=$(dpkg-deb --fsys-tarfile "$deb" |
    tar -xO "./usr/share/applications/orvel-$helper.desktop" | grep '^Exec=')
  [ "$exec_line" = "Exec=/usr/libexec/orvel/$helper" ] || { echo "FAIL: $helper's entry: $exec_line"; exit 1; }
done

if [ -n "$extension" ]; then
  extension_js=$(dpkg-deb --fsys-tarfile "$deb" |
    tar -xO "./usr/share/gnome-shell/extensions/$extension/extension.js")
  grep -qx "  '/usr/libexec/orvel/scroll-capture-helper'," <<<"$extension_js" ||
    { echo "FAIL: the extension does not answer /usr/libexec/orvel/scroll-capture-helper"; exit 1; }
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for needed in tesseract-ocr-eng libc6 libstdc++6; do
  grep -qxF "$needed" <<<"$names" || { echo "FAIL: Depends lacks $needed"; exit 1; }
done
grep -q 'Apache License 2.0' <(dpkg-deb -f "$deb" Description) ||
  { echo "FAIL: the description does not name the licence"; exit 1; }
dev_depends=$(dpkg-deb -f "$dev" Depends)
echo "Depends of the development package: $dev_depends"
grep -q 'orvel-helpers (= ' <<<"$dev_depends" || { echo "FAIL: the development package does not depend on the library's"; exit 1; }
grep -q 'Apache License 2.0' <(dpkg-deb -f "$dev" Description) ||
  { echo "FAIL: the development package's description does not name the licence"; exit 1; }
echo "packages ok: ${#runtime[@]} and ${#development[@]} files"
