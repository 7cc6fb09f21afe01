#!/usr/bin/env bash
# Benchmark of the kit's two programs. Not part of the test suite.
#
#   tools/bench.sh [--large] [--callgrind] [--runs N] [--no-imagemagick]
#
# Builds the native preset's texsplit and skininstall plus the benchmark
# helpers in bench/ (option SKINKIT_BENCH): refsplit, the reference split that
# reads in large blocks and writes each output in one write (with --blocks:
# writes as it goes, holding no whole image), and benchgen, the input
# generator. Then, in the scratch folder build/bench (removed at the end):
#  - texsplit: three textures of 1024x1024 and 4096x4096 (and 8192x8192 with
#    --large), 24 and 32 bits. Checks that refsplit writes the same bytes as
#    texsplit, then times texsplit, refsplit, refsplit --blocks and
#    ImageMagick (when installed; this script never installs it), the
#    commands alternating in rotating order over several runs;
#  - skininstall: a game folder with Language.cod (50 000 entries) and
#    Game.cod (200 000 entries) and vehicle configurations of 1, 250, 1000
#    and 2000 cars (about 1.2 KB per car section); times full runs, the skin
#    added to the last car, and prints the time per car, also net of the
#    1-car run, so growth beyond linear shows;
#  - with --callgrind: instruction counts (valgrind --tool=callgrind), which
#    stay the same on a busy machine.
# Every figure is a median: wall time, and CPU time (user + system, from the
# shell's "times"), which suffers less when other processes compete for the
# cores. The range line gives the wall times' min-max, a measure of the noise.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root="$(pwd)"

large=0
callgrind=0
runs=""
use_im=1
while [ $# -gt 0 ]; do
  case "$1" in
    --large) large=1 ;;
    --callgrind) callgrind=1 ;;
    --runs) shift; runs="${1:?--runs needs a number}" ;;
    --no-imagemagick) use_im=0 ;;
    *) echo "usage: tools/bench.sh [--large] [--callgrind] [--runs N] [--no-imagemagick]" >&2; exit 2 ;;
  esac
  shift
done
if [ "$callgrind" -eq 1 ] && ! command -v valgrind >/dev/null 2>&1; then
  echo "bench: --callgrind needs valgrind (apt-get install valgrind)" >&2
  exit 2
fi

echo "=== build (native preset, with the benchmark helpers)"
cmake --preset native -DSKINKIT_BENCH=ON >/dev/null
# The helpers are built for this run only: the test command's builds stay as
# they were.
trap 'cmake --preset native -DSKINKIT_BENCH=OFF >/dev/null 2>&1 || true' EXIT
cmake --build --preset native --target texsplit skininstall refsplit benchgen
bin="$root/build/native"
texsplit="$bin/texsplit/texsplit"
skininstall="$bin/skininstall/skininstall"
refsplit="$bin/bench/refsplit"
benchgen="$bin/bench/benchgen"

scratch="$root/build/bench"
rm -rf "$scratch"
mkdir -p "$scratch"

# ImageMagick: an executable (not a wrapper script) that says it is one.
im=""
[ "$use_im" -eq 1 ] && for c in $(type -ap magick convert 2>/dev/null); do
  if [ "$(head -c 4 "$c" 2>/dev/null | od -An -c | tr -d ' ')" = '177ELF' ] &&
     "$c" -version 2>/dev/null | head -1 | grep -q '^Version: ImageMagick'; then
    im="$c"
    break
  fi
done

echo "    machine: $(nproc) cores, $(uname -m), load average $(cut -d' ' -f1-3 /proc/loadavg)"
date -u '+    date: %Y-%m-%d %H:%M UTC'

# --- Helpers ---------------------------------------------------------------------

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }
minimum() { printf '%s\n' "$@" | sort -n | head -1; }
maximum() { printf '%s\n' "$@" | sort -n | tail -1; }
# Microseconds as seconds with three decimals.
secs() { awk -v u="$1" 'BEGIN {printf "%.3f", u / 1e6}'; }
per_car() { awk -v m="$1" -v c="$2" 'BEGIN {printf "%.1f us", m / c}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else printf "-"}'; }

# CPU time (user + system) of all finished children of this shell, in
# microseconds, into cpu_us. "times" runs in this shell (no subshell) and
# prints milliseconds.
cpu_now() {
  times >"$scratch/times"
  local u s um us sm ss
  { read -r _ _; read -r u s; } <"$scratch/times"
  um=${u%%m*}; us=${u#*m}; us=${us%s}
  sm=${s%%m*}; ss=${s#*m}; ss=${ss%s}
  cpu_us=$(((um * 60000 + 10#${us/./} + sm * 60000 + 10#${ss/./}) * 1000))
}

# Runs one command, output discarded; wall and CPU time into run_wall, run_cpu.
# Returns the command's exit status.
timed() {
  local t0 t1 c0 status=0
  cpu_now; c0=$cpu_us
  t0=${EPOCHREALTIME/./}
  "$@" >/dev/null || status=$?
  t1=${EPOCHREALTIME/./}
  cpu_now
  run_wall=$((t1 - t0))
  run_cpu=$((cpu_us - c0))
  return "$status"
}

outputs=(t9.tga t9_op.tga t10.tga t10_op.tga t11.tga t11_op.tga)

# ImageMagick's split of the three textures; its messages go to a log. It may
# refuse large images (its resource policy), which is reported, not fatal.
im_split() {
  local t
  for t in t9 t10 t11; do
    "$im" "$t.tex.big.tga" \( +clone -alpha extract -type TrueColor -write "${t}_op.tga" +delete \) \
      -alpha off -type TrueColor "$t.tga" 2>>"$scratch/imagemagick.log" || return 1
  done
}

# Instruction count of one command run under callgrind in the current folder.
instructions() {
  local out="$scratch/callgrind.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>&1 || true
  awk '/^summary:/ {print $2; exit}' "$out"
  rm -f "$out"
}

# --- texsplit ------------------------------------------------------------------------

echo
echo "=== texsplit: three textures per set, seconds (medians over alternated runs)"
if [ -n "$im" ]; then
  echo "    ImageMagick: $im"
else
  echo "    ImageMagick: not installed (or --no-imagemagick), its columns stay empty"
fi
row() { printf '%-14s %-6s %-12s %-12s %-12s %-13s %-8s %-10s %s\n' "$@"; }
row "set" "" "texsplit" "refsplit" "ref-blocks" "ImageMagick" "tex/ref" "tex/blocks" "IM/tex"

sizes=(1024 4096)
[ "$large" -eq 1 ] && sizes+=(8192)
tex_cg=()
for size in "${sizes[@]}"; do
  for bits in 24 32; do
    set_dir="$scratch/tex-$size-$bits"
    mkdir -p "$set_dir/check"
    "$benchgen" textures "$set_dir" "$size" "$bits"
    cd "$set_dir"

    # Same bytes: texsplit's outputs against both kinds of refsplit's.
    "$texsplit" >/dev/null
    mv "${outputs[@]}" check/
    for mode in "" --blocks; do
      # shellcheck disable=SC2086
      "$refsplit" $mode
      for f in "${outputs[@]}"; do
        if ! cmp -s "$f" "check/$f"; then
          echo "bench: refsplit $mode and texsplit differ in $f ($size, $bits bits)" >&2
          exit 1
        fi
      done
      rm -f "${outputs[@]}"
    done
    rm -rf check

    n="$runs"
    if [ -z "$n" ]; then
      case "$size" in 1024) n=9 ;; 4096) n=5 ;; *) n=3 ;; esac
    fi
    cmds=(tex ref blk)
    [ -n "$im" ] && cmds+=(im)
    declare -A wall=() cpu=()
    im_failed=0
    for ((r = 0; r < n; r++)); do
      for ((i = 0; i < ${#cmds[@]}; i++)); do
        c="${cmds[$(((i + r) % ${#cmds[@]}))]}"
        rm -f "${outputs[@]}"
        case "$c" in
          tex) timed "$texsplit" ;;
          ref) timed "$refsplit" ;;
          blk) timed "$refsplit" --blocks ;;
          im)
            [ "$im_failed" -eq 1 ] && continue
            if ! timed im_split; then
              im_failed=1
              wall[im]=""
              echo "    ImageMagick failed on this set: $(tail -1 "$scratch/imagemagick.log")"
              continue
            fi
            ;;
        esac
        wall[$c]+="$run_wall "
        cpu[$c]+="$run_cpu "
      done
    done
    rm -f "${outputs[@]}"

    declare -A mw=() mc=() range=()
    for c in tex ref blk im; do
      mw[$c]=""; mc[$c]=""; range[$c]="-"
      if [ -n "${wall[$c]:-}" ]; then
        # shellcheck disable=SC2086
        {
          mw[$c]=$(median ${wall[$c]})
          mc[$c]=$(median ${cpu[$c]})
          range[$c]="$(secs "$(minimum ${wall[$c]})")-$(secs "$(maximum ${wall[$c]})")"
        }
      fi
    done
    for kind in wall cpu; do
      if [ "$kind" = wall ]; then
        t=${mw[tex]}; r=${mw[ref]}; b=${mw[blk]}; m=${mw[im]}
        label="${size}x${size} ${bits}b"
      else
        t=${mc[tex]}; r=${mc[ref]}; b=${mc[blk]}; m=${mc[im]}
        label=""
      fi
      row "$label" "$kind" "$(secs "$t")" "$(secs "$r")" "$(secs "$b")" "$([ -n "$m" ] && secs "$m" || echo -)" \
        "$(ratio "$t" "$r")" "$(ratio "$t" "$b")" "$([ -n "$m" ] && ratio "$m" "$t" || echo -)"
    done
    row "" "range" "${range[tex]}" "${range[ref]}" "${range[blk]}" "${range[im]}" "" "" ""

    # Counted on 1024² (and 4096² with --large): callgrind runs some 50 times slower.
    if [ "$callgrind" -eq 1 ] && { [ "$size" -eq 1024 ] || { [ "$large" -eq 1 ] && [ "$size" -eq 4096 ]; }; }; then
      ti=$(instructions "$texsplit"); rm -f "${outputs[@]}"
      ri=$(instructions "$refsplit"); rm -f "${outputs[@]}"
      bi=$(instructions "$refsplit" --blocks); rm -f "${outputs[@]}"
      tex_cg+=("$size $bits $ti $ri $bi")
    fi
    cd "$root"
    rm -rf "$set_dir"
  done
done

if [ "$callgrind" -eq 1 ]; then
  echo
  echo "=== texsplit: instructions (callgrind); per source pixel in parentheses"
  printf '%-14s %-22s %-22s %-22s %s\n' "set" "texsplit" "refsplit" "ref-blocks" "tex/ref"
  for entry in "${tex_cg[@]}"; do
    read -r size bits ti ri bi <<<"$entry"
    px=$((3 * size * size))
    printf '%-14s %-22s %-22s %-22s %s\n' "${size}x${size} ${bits}b" "$ti ($(ratio "$ti" "$px"))" \
      "$ri ($(ratio "$ri" "$px"))" "$bi ($(ratio "$bi" "$px"))" "$(ratio "$ti" "$ri")"
  done
fi

# --- skininstall ---------------------------------------------------------------------

echo
echo "=== skininstall: Language.cod 50000 + Game.cod 200000 entries; seconds (medians over alternated runs)"
game="$scratch/game"
skin="$scratch/skin"
mkdir -p "$game/Cfg" "$skin"
"$benchgen" archive "$game/Language.cod" 50000 Language
"$benchgen" archive "$game/Game.cod" 200000 Game
"$benchgen" skin "$skin"
export SKINKIT_REGISTRY="$scratch/registry.reg"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax]\r\n"Installpath"="%s"\r\n' \
  "$game" >"$SKINKIT_REGISTRY"

cars_list=(1 250 1000 2000)
for cars in "${cars_list[@]}"; do
  "$benchgen" vehicles "$scratch/vehicle-$cars.cfg" "$cars"
done

# One run: a fresh configuration (not timed), then skininstall in the skin
# folder, which must report the skin installed.
install_run() {
  cp "$scratch/vehicle-$1.cfg" "$game/Cfg/Vehicle.cfg"
  cd "$skin"
  timed "$skininstall"
  cd "$root"
  if ! grep -q "Bench Gold" "$game/Cfg/Vehicle.cfg"; then
    echo "bench: skininstall did not add the skin ($1 cars)" >&2
    exit 1
  fi
}

n="${runs:-15}"
declare -A iwall=() icpu=()
for ((r = 0; r < n; r++)); do
  for ((i = 0; i < ${#cars_list[@]}; i++)); do
    cars="${cars_list[$(((i + r) % ${#cars_list[@]}))]}"
    install_run "$cars"
    iwall[$cars]+="$run_wall "
    icpu[$cars]+="$run_cpu "
  done
done

printf '%-6s %-9s %-7s %-7s %-13s %-11s %-11s %s\n' "cars" "Vehicle" "wall" "cpu" "wall range" \
  "wall/car" "cpu/car" "net of 1 car: wall/car, cpu/car"
declare -A mwall=() mcpu=() net_wall=() net_cpu=()
for cars in "${cars_list[@]}"; do
  # shellcheck disable=SC2086
  {
    mwall[$cars]=$(median ${iwall[$cars]})
    mcpu[$cars]=$(median ${icpu[$cars]})
    rng="$(secs "$(minimum ${iwall[$cars]})")-$(secs "$(maximum ${iwall[$cars]})")"
  }
  kb=$(($(stat -c %s "$scratch/vehicle-$cars.cfg") / 1024))
  net="-"
  if [ "$cars" -gt 1 ]; then
    net_wall[$cars]=$(awk -v m="${mwall[$cars]}" -v b="${mwall[1]}" -v c="$cars" 'BEGIN {printf "%.1f", (m - b) / (c - 1)}')
    net_cpu[$cars]=$(awk -v m="${mcpu[$cars]}" -v b="${mcpu[1]}" -v c="$cars" 'BEGIN {printf "%.1f", (m - b) / (c - 1)}')
    net="${net_wall[$cars]} us, ${net_cpu[$cars]} us"
  fi
  printf '%-6s %-9s %-7s %-7s %-13s %-11s %-11s %s\n' "$cars" "${kb} KiB" "$(secs "${mwall[$cars]}")" \
    "$(secs "${mcpu[$cars]}")" "$rng" "$(per_car "${mwall[$cars]}" "$cars")" "$(per_car "${mcpu[$cars]}" "$cars")" "$net"
done
echo "    time per car, 2000 cars against 250: wall $(awk -v a="${mwall[2000]}" -v b="${mwall[250]}" \
  'BEGIN {printf "%.2f", (a / 2000) / (b / 250)}'), cpu $(awk -v a="${mcpu[2000]}" -v b="${mcpu[250]}" \
  'BEGIN {printf "%.2f", (a / 2000) / (b / 250)}')"
echo "    (net of 1 car, 250 cars differ from 1 by a few ms, within the noise of the wall and CPU"
echo "    times; --callgrind counts instructions per car, which are repeatable)"

if [ "$callgrind" -eq 1 ]; then
  echo
  echo "=== skininstall: instructions (callgrind)"
  printf '%-6s %-14s %s\n' "cars" "instructions" "net of 1 car, per car"
  declare -A ir=()
  for cars in "${cars_list[@]}"; do
    cp "$scratch/vehicle-$cars.cfg" "$game/Cfg/Vehicle.cfg"
    cd "$skin"
    ir[$cars]=$(instructions "$skininstall")
    cd "$root"
    per="-"
    [ "$cars" -gt 1 ] && per=$(((ir[$cars] - ir[1]) / (cars - 1)))
    printf '%-6s %-14s %s\n' "$cars" "${ir[$cars]}" "$per"
  done
  echo "    instructions per car net of 1 car, 2000 cars against 250:" \
    "$(ratio "$(((ir[2000] - ir[1]) / 1999))" "$(((ir[250] - ir[1]) / 249))")"
fi

rm -rf "$scratch"
echo
echo "=== benchmark finished"
