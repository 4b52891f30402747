#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks GNOME Shell's orvel-helpers extension: the
# chosen file set in share/gnome-shell/extensions/<uuid>/, answering exactly the installed scroll
# and region helpers, listed in the install manifest; and both file sets of the build tree parse (the 43 form
# as a script, the 45 form as an ES module), read by node.
#   gnome_extension_test.sh BUILD_DIR FORM
set -euo pipefail
build=$1 form=$2
uuid=orvel-helpers@orvel.invalid
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
folder=$prefix/share/gnome-shell/extensions/$uuid
for file in extension.js metadata.json; do
  [ -f "$folder/$file" ] || { echo "FAIL: no $folder/$file"; exit 1; }
  grep -qF "$folder/$file" "$build/install_manifest.txt" ||
    { echo "FAIL: $file is not in the install manifest"; exit 1; }
done
grep -q "\"uuid\": \"$uuid\"" "$folder/metadata.json" || { echo "FAIL: metadata names another uuid"; exit 1; }
cmp -s "$folder/metadata.json" "$build/gnome-shell-extension/$form/metadata.json" ||
  { echo "FAIL: the installed metadata is not the $form form's"; exit 1; }
allowed=$(grep -o "^  '/[^']*'," "$folder/extension.js")
expected="  '$prefix/libexec/orvel/scroll-capture-helper',
  '$prefix/libexec/orvel/region-capture-helper',"
[ "$allowed" = "$expected" ] || { echo "FAIL: the extension answers: $allowed"; exit 1; }
for helper in scroll-capture-helper region-capture-helper; do
  [ -x "$prefix/libexec/orvel/$helper" ] || { echo "FAIL: it names no installed $helper"; exit 1; }
done
echo "ok: installed the $form form, answering the installed scroll and region helpers"

command -v node >/dev/null || { echo "SKIP: node is not installed (tools/install-deps)"; exit 77; }
node --check "$build/gnome-shell-extension/43/extension.js"
cp "$build/gnome-shell-extension/45/extension.js" "$tmp/extension.mjs"
node --check "$tmp/extension.mjs"
echo "ok: both forms parse"
