#!/usr/bin/env bash
# Builds the kit and runs the whole test suite: the native build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the 64-bit Windows
# build (MinGW-w64), whose tests and release package check run under Wine in
# the kit's own Wine prefix build/wineprefix (never the user's), and last a
# short fuzzing run of every reader (tools/fuzz.sh, 30 s a target).
#
# The Windows suite is not optional: when MinGW-w64, Wine or the GoogleTest
# sources are missing, this installs them if it runs as root with apt-get,
# and otherwise says what is missing and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

windows_tools=(x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix
               x86_64-w64-mingw32-objdump wine wineboot wineserver)
windows_packages=(g++-mingw-w64-x86-64 wine64 wine googletest)

missing_windows_tools() {
  local tool missing=()
  for tool in "${windows_tools[@]}"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  [ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing+=(/usr/src/googletest)
  echo "${missing[*]}"
}

missing=$(missing_windows_tools)
if [ -n "$missing" ] && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "=== installing the Windows build tools (missing: $missing)"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq "${windows_packages[@]}" >/dev/null || true
  missing=$(missing_windows_tools)
fi
if [ -n "$missing" ]; then
  echo "test-all.sh: cannot run the Windows suite: missing $missing." >&2
  echo "test-all.sh: install the Debian packages ${windows_packages[*]} (as root) and run again." >&2
  exit 1
fi

for preset in native sanitize mingw; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  if [ "$preset" = mingw ]; then
    echo "=== mingw: preparing the Wine prefix build/wineprefix"
    cmake/wine-run.sh --init
    # Death tests on Windows run in fresh processes whose scratch folders
    # outlive them; start each suite with none left from the last.
    rm -rf build/wineprefix/drive_c/users/*/Temp/skinkit-tests
    # One Wine server for the whole suite, ended with it.
    cmake/wine-run.sh --server-start
    trap 'cmake/wine-run.sh --server-stop >/dev/null 2>&1 || true' EXIT
  fi
  echo "=== $preset: test"
  ctest --preset "$preset"
done

# Every run fuzzes each reader a little (clang's libFuzzer, with the same
# sanitizers); tools/fuzz.sh runs them longer on request.
if ! command -v clang++ >/dev/null 2>&1 || [ ! -d /usr/lib/llvm-14/lib/clang ] ||
   ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "=== installing clang and its fuzzer runtime"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq clang libclang-rt-14-dev >/dev/null || true
  fi
  if ! command -v clang++ >/dev/null 2>&1; then
    echo "test-all.sh: cannot fuzz: clang is missing; install the Debian packages clang libclang-rt-14-dev (as root) and run again." >&2
    exit 1
  fi
fi
echo "=== fuzz: each reader's target for 30 s"
./tools/fuzz.sh 30

echo "=== all suites passed"
