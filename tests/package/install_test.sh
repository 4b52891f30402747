#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds and runs a consumer of libOrvel.Startup
# found by pkg-config and one found by CMake (find_package(OrvelStartup)).
#   install_test.sh BUILD_DIR CONSUMER_SOURCE_DIR C_COMPILER [COMPILE_AND_LINK_FLAGS]
set -euo pipefail
build=$1 consumer=$2 cc=$3 flags=${4:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
pc=$(find "$prefix" -name orvel-startup.pc)
[ -n "$pc" ] || { echo "FAIL: no orvel-startup.pc under the prefix"; exit 1; }
libdir=$(dirname "$(dirname "$pc")")
# The helpers sit where pkg-config tells other hosts, and the installed orvel finds them there.
helperdir=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=helperdir orvel-startup)
[ -x "$helperdir/text-recognition-helper" ] && [ -x "$helperdir/region-capture-helper" ] ||
  { echo "FAIL: no helpers in helperdir $helperdir"; ls -R "$prefix"; exit 1; }
answer=$(env -u ORVEL_TEXT_HELPER LD_LIBRARY_PATH="$libdir" "$prefix/bin/orvel" text --json "$tmp/missing.png" || true)
grep -q '"error"' <<<"$answer" ||
  { echo "FAIL: the installed orvel did not run the installed helper: $answer"; exit 1; }
echo "helpers: $helperdir"

# The login item of the consumer lands in a configuration folder of the test's own.
export XDG_CONFIG_HOME=$tmp/config

echo "pkg-config: $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --modversion orvel-startup)"
# shellcheck disable=SC2046,SC2086
"$cc" $flags "$consumer/consumer.c" -o "$tmp/pc-consumer" \
  $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs orvel-startup)
LD_LIBRARY_PATH=$libdir "$tmp/pc-consumer"
[ ! -e "$XDG_CONFIG_HOME/autostart/pc-consumer.desktop" ] || { echo "FAIL: entry left"; exit 1; }

# The consumer's own build finds the library's folder for its run path.
cmake -S "$consumer" -B "$tmp/cmake-consumer" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_PREFIX_PATH="$prefix" \
  >"$tmp/consumer.log" || { cat "$tmp/consumer.log"; exit 1; }
cmake --build "$tmp/cmake-consumer" >>"$tmp/consumer.log" || { cat "$tmp/consumer.log"; exit 1; }
echo "CMake: $(grep -o 'OrvelStartup_DIR:PATH=.*' "$tmp/cmake-consumer/CMakeCache.txt")"
"$tmp/cmake-consumer/consumer"
