#!/usr/bin/env bash
# Builds the kit and runs it on the bundled example skin (examples/skin) in a
# scratch copy, build/example-run/skin, so the repository stays untouched.
# On a fresh Debian machine, run as root: missing build tools are installed
# with apt-get first.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# --- Build tools ---------------------------------------------------------------
missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev googletest)
if [ "${#missing[@]}" -gt 0 ]; then
  echo "=== installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    echo "example.sh: missing ${missing[*]}; install them (apt-get, as root) and run again" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- Build -----------------------------------------------------------------------
echo "=== build (native preset)"
cmake --preset native >/dev/null
cmake --build --preset native
bin="$root/build/native"

# --- Scratch copy of the example skin --------------------------------------------
run="$root/build/example-run"
skin="$run/skin"
rm -rf "$run"
mkdir -p "$run"
cp -R "$root/examples/skin" "$skin"

# --- Texture converter -------------------------------------------------------------
echo "=== texsplit in $skin"
(cd "$skin" && "$bin/texsplit/texsplit")
echo "=== texture files after texsplit"
(cd "$skin" && ls -l -- *.tga)

# --- Skin installer ----------------------------------------------------------------
# An example game folder and registry under "$run", then skininstall in "$skin".
"$root/tools/example-install.sh" "$bin" "$run" "$skin"

echo "=== example run finished: $skin"
