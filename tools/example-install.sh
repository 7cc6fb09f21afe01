#!/usr/bin/env bash
# The installer half of the example run, called by tools/example.sh:
#
#   tools/example-install.sh BUILD_DIR RUN_DIR SKIN_DIR
#
# BUILD_DIR is the native build (it holds skininstall/skininstall and
# tools/fffpack), RUN_DIR the scratch folder of the run, SKIN_DIR the skin
# folder in it (Skin.cfg and the skin files, already through texsplit).
#
# It makes an example game folder, RUN_DIR/game, from examples/game: the vehicle
# configuration Cfg/Vehicle.cfg (four invented cars) and one archive, Game.cod,
# packed with fffpack. The registry stand-in, RUN_DIR/registry.reg, names that
# folder as the game's installation (SKINKIT_REGISTRY points skininstall at
# it). Then skininstall runs in SKIN_DIR, and the script shows what changed:
# the installed skin files, the vehicle configuration against its backup, and
# the registry. A second run shows the installer refusing a skin that is
# already listed.
set -euo pipefail
if [ "$#" -ne 3 ]; then
  echo "usage: $0 BUILD_DIR RUN_DIR SKIN_DIR" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "$1" && pwd)"
run="$(cd "$2" && pwd)"
skin="$(cd "$3" && pwd)"
installer="$bin/skininstall/skininstall"
fffpack="$bin/tools/fffpack"
for tool in "$installer" "$fffpack"; do
  [ -x "$tool" ] || { echo "example-install.sh: $tool is not built" >&2; exit 1; }
done

# --- Example game folder -------------------------------------------------------------
game="$run/game"
rm -rf "$game"
mkdir -p "$game/Cfg"
# The game's configuration files use CR LF line ends.
sed 's/\r*$/\r/' "$root/examples/game/Cfg/Vehicle.cfg" >"$game/Cfg/Vehicle.cfg"
"$fffpack" "$game/Game.cod" --as Text/English.txt "$root/examples/game/Text/English.txt"
echo "=== example game folder: $game"
(cd "$game" && find . -type f -printf '%P  (%s bytes)\n' | sort)

# --- Registry stand-in -----------------------------------------------------------------
registry="$run/registry.reg"
escaped="$(printf '%s' "$game" | sed 's/\\/\\\\/g; s/"/\\"/g')"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax]\r\n"Installpath"="%s"\r\n\r\n' \
  "$escaped" >"$registry"
export SKINKIT_REGISTRY="$registry"
echo "=== registry ($registry)"
cat "$registry"

# --- Skin installer --------------------------------------------------------------------
echo "=== Skin.cfg in $skin"
cat "$skin/Skin.cfg"
echo "=== skininstall in $skin"
set +e
(cd "$skin" && "$installer")
rc=$?
set -e
echo "=== skininstall exit code: $rc"
[ "$rc" -eq 0 ] || exit 1

echo "=== installed skin files below $game/Car"
(cd "$game" && find Car -type f -printf '%p  (%s bytes)\n' | sort)
echo "=== Cfg/Vehicle.cfg against its backup Cfg/Vehicle.old"
diff -u --strip-trailing-cr --label Cfg/Vehicle.old --label Cfg/Vehicle.cfg \
  "$game/Cfg/Vehicle.old" "$game/Cfg/Vehicle.cfg" || true
echo "=== registry after the run"
cat "$registry"

echo "=== skininstall again: the skin is listed already, so nothing changes"
cp "$game/Cfg/Vehicle.cfg" "$run/Vehicle.cfg.after-first-run"
(cd "$skin" && "$installer")
if cmp -s "$run/Vehicle.cfg.after-first-run" "$game/Cfg/Vehicle.cfg"; then
  echo "=== Cfg/Vehicle.cfg unchanged"
else
  echo "example-install.sh: the second run changed Cfg/Vehicle.cfg" >&2
  exit 1
fi
