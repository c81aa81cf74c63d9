#!/usr/bin/env bash
# Times a gallery of pictures, HEIC pictures and videos ([Html] Reduce=1 and Media=1).
#   bench/media_bench.sh [path/to/mivo-make] [cache folder]    (defaults: build/mivo-make,
#   $MIVO_BENCH_CACHE or ${TMPDIR:-/tmp}/mivo-media-bench)
# The folder, made once into the cache folder and kept between runs:
#   MIVO_BENCH_PICTURES (default 250) pictures of 4000x3000, of which MIVO_BENCH_HEIC (default
#   50) HEIC (`vips copy x.jpg x.heic`), the rest JPEG: one picture made with ImageMagick,
#   copied under new names;
#   MIVO_BENCH_LIVE (default 10) Live Photos (a HEIC still and a 3-second HEVC MOV of its name),
#   MIVO_BENCH_HDR (default 2) HLG clips (10-bit HEVC MOV, BT.2020, arib-std-b67) and
#   MIVO_BENCH_GIFS (default 5) moving GIFs of four frames, each kind made once and copied;
#   MIVO_BENCH_VIDEOS (default 20) videos of MIVO_BENCH_SECONDS (default 10) seconds at
#   1920x1080, 30 frames a second, testsrc2 or smptebars with a sine tone, in turn:
#   H.264/AAC MP4 with the index at the end (Mivo remuxes it), HEVC/AAC MOV (transcoded),
#   VP9/Opus WebM (linked as it is). One of each kind and pattern is encoded, copied under
#   new names.
# What it measures, warm cache, 2 jobs for every maker, the machine's load average printed
# before each turn:
#   a) mivo-make --jobs 2, log level 3: first run into a fresh output folder (with its peak
#      memory), re-run with nothing changed, the same with Media=0 (over a copy of the site
#      made once with Media=0): MIVO_BENCH_RERUNS (default 10) runs each, on and off in turn,
#      the shortest wall time and the least processor time (user + system);
#   b) thumbsup 2 from npm (--concurrency 2 --thumb-size 320 --large-size 2048), installed
#      once under the cache folder with graphicsmagick and libimage-exiftool-perl from Debian
#      (installed here when run as root), first run into a fresh output folder right after
#      Mivo's, then Mivo's first run once more into a fresh output folder; thumbsup is set
#      against the mean of Mivo's two (the machine's speed drifts within minutes); what it
#      made of the HEIC pictures and videos is counted;
#   c) the web videos: every ffmpeg command Mivo logged for one ("ffmpeg: <argv>" lines at
#      level 3, or "run: <argv>" lines writing a fast-start MP4) is run again alone, one after
#      the other, output to a temporary file; Mivo's transcode wall time is taken from a
#      wrapper named ffmpeg put first on mivo-make's PATH that notes when each call starts and
#      ends (the time during which at least one web-video ffmpeg ran);
#   d) the floor of the whole first run: decoding the pictures (djpeg at the scale Mivo
#      decodes at, `vips avg` for HEIC, 2 at a time) plus every ffmpeg command of the run
#      (posters too) alone, one after the other; and the same calls 2 at a time, longest first
#      (the floor of any run making them on this machine, whose two cores run two programs at
#      less than twice the speed of one).
# MIVO_BENCH_THUMBSUP=0 leaves thumbsup out; MIVO_BENCH_KEEP=1 keeps the work folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench/thumbsup.sh
source "$root/bench/thumbsup.sh"
make="${1:-$root/build/mivo-make}"
cache="${2:-${MIVO_BENCH_CACHE:-${TMPDIR:-/tmp}/mivo-media-bench}}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
count="${MIVO_BENCH_PICTURES:-250}"
heic="${MIVO_BENCH_HEIC:-50}"
videos="${MIVO_BENCH_VIDEOS:-20}"
seconds="${MIVO_BENCH_SECONDS:-10}"
# The camera roll's own kinds: Live Photos (a HEIC still and a 3-second MOV of its name), HLG
# clips as phones shoot them, and moving GIFs.
live="${MIVO_BENCH_LIVE:-10}"
hdr="${MIVO_BENCH_HDR:-2}"
gifs="${MIVO_BENCH_GIFS:-5}"
jobs=2
reruns="${MIVO_BENCH_RERUNS:-10}"
((heic <= count)) || { echo "media_bench: MIVO_BENCH_HEIC ($heic) exceeds MIVO_BENCH_PICTURES ($count)" >&2; exit 1; }
for tool in /usr/bin/convert /usr/bin/vips /usr/bin/vipsheader /usr/bin/djpeg /usr/bin/time; do
  [[ -x "$tool" ]] || { echo "media_bench: $tool is missing" >&2; exit 1; }
done
ffmpeg="$(command -v ffmpeg || true)"
[[ -n "$ffmpeg" ]] || { echo "media_bench: ffmpeg is missing" >&2; exit 1; }
[[ -x "$make" ]] || { echo "media_bench: build first ($make)" >&2; exit 1; }

# --- the folder ---------------------------------------------------------------------------
pics="$cache/folder-$count-$heic-$videos-${seconds}s-$live-$hdr-$gifs"
if [[ ! -f "$pics/.complete" ]]; then
  rm -rf "$pics" && mkdir -p "$pics/tmp"
  echo "making $count pictures ($heic HEIC) and $videos videos of $seconds s in $pics (once)" >&2
  t="$pics/tmp"
  /usr/bin/convert -seed 3 -size 1000x750 plasma:fractal -resize 4000x3000! -quality 95 "$t/base.jpg"
  ((heic > 0)) && vips copy "$t/base.jpg" "$t/base.heic"
  for ((i = 1; i <= count; i++)); do
    if ((i > count - heic)); then
      cp "$t/base.heic" "$pics/$(printf 'IMG_%04d.heic' "$i")"
    else
      cp "$t/base.jpg" "$pics/$(printf 'IMG_%04d.jpg' "$i")"
    fi
  done
  sources=(testsrc2 smptebars)
  for ((i = 1; i <= videos; i++)); do
    kind=$(((i - 1) % 3)) source=${sources[$((((i - 1) / 3) % 2))]}
    case $kind in
      0) ext=mp4 codec=(-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k) ;;
      1) ext=mov codec=(-c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1 -pix_fmt yuv420p -c:a aac -b:a 128k) ;;
      2) ext=webm codec=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1 -b:v 6M -c:a libopus) ;;
    esac
    base="$t/$source-$kind.$ext"
    if [[ ! -f "$base" ]]; then
      "$ffmpeg" -nostdin -loglevel error -f lavfi -i "$source=size=1920x1080:rate=30:duration=$seconds" \
        -f lavfi -i "sine=frequency=$((330 + 110 * kind)):sample_rate=48000:duration=$seconds" \
        "${codec[@]}" -shortest "$base"
    fi
    cp "$base" "$pics/$(printf 'VID_%02d.%s' "$i" "$ext")"
  done
  if ((live > 0)); then
    "$ffmpeg" -nostdin -loglevel error -f lavfi -i "testsrc2=size=1440x1080:rate=30:duration=3" \
      -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1 -pix_fmt yuv420p "$t/motion.mov"
    [[ -f "$t/base.heic" ]] || vips copy "$t/base.jpg" "$t/base.heic"
    for ((i = 1; i <= live; i++)); do
      cp "$t/base.heic" "$pics/$(printf 'LIVE_%04d.heic' "$i")"
      cp "$t/motion.mov" "$pics/$(printf 'LIVE_%04d.mov' "$i")"
    done
  fi
  if ((hdr > 0)); then
    "$ffmpeg" -nostdin -loglevel error -f lavfi -i "smptebars=size=1920x1080:rate=30:duration=$seconds" \
      -vf "format=yuv420p10le" -c:v libx265 -preset ultrafast \
      -x265-params "log-level=error:colorprim=bt2020:transfer=arib-std-b67:colormatrix=bt2020nc" \
      -color_primaries bt2020 -color_trc arib-std-b67 -colorspace bt2020nc -tag:v hvc1 "$t/hlg.mov"
    for ((i = 1; i <= hdr; i++)); do cp "$t/hlg.mov" "$pics/$(printf 'HLG_%02d.mov' "$i")"; done
  fi
  if ((gifs > 0)); then
    /usr/bin/convert -delay 10 -loop 0 -size 480x360 xc:red xc:lime xc:blue xc:yellow "$t/moving.gif"
    for ((i = 1; i <= gifs; i++)); do cp "$t/moving.gif" "$pics/$(printf 'ANIM_%02d.gif' "$i")"; done
  fi
  rm -rf "$t"
  touch "$pics/.complete"
fi
cat "$pics"/IMG_* "$pics"/VID_* "$pics"/LIVE_* "$pics"/HLG_* "$pics"/ANIM_* >/dev/null 2>&1 || true # warm the cache

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-media-bench.XXXXXX")"
# MIVO_BENCH_KEEP=1 keeps the work folder (the calls' times and arguments) for a closer look.
if [[ "${MIVO_BENCH_KEEP:-0}" == 1 ]]; then
  echo "media_bench: keeping $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi
now() { echo "$EPOCHREALTIME"; }
cpu_of() { # cpu_of FILE: the children's user + system seconds from the output of `times`
  tail -1 "$1" | awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.3f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }'
}
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
timed() { local t0 t1 rc=0; t0=$(now); "$@" || rc=$?; t1=$(now); elapsed "$t0" "$t1"; return "$rc"; }
# best RUNS ARG...: the shortest wall time and the least processor time (user + system) of RUNS
# runs of ARG..., "WALL CPU". A run with nothing to do takes some 10 ms, where one scheduling
# delay on a shared machine is a third of it: the best of many, and the processor time beside
# it, which a wait does not swell.
best() {
  local runs=$1 i wall cpu bw="" bc=""
  shift
  for ((i = 0; i < runs; i++)); do
    wall=$(timed "$@")
    cpu=$(cpu_of "$work/rerun.cpu")
    bw=$(awk -v a="$bw" -v b="$wall" 'BEGIN { print (a == "" || b < a) ? b : a }')
    bc=$(awk -v a="$bc" -v b="$cpu" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$bw $bc"
}
ratio() { # ratio A B: A / B, or "-" when either is not a time
  awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b > 0) printf "%.2fx", a / b; else print "-" }'
}
# The machine's speed while a maker runs: every 5 s a probe (x264 on two seconds of a small
# test picture, one thread, some 0.25 s of a core) is run beside it and its processor time
# noted. The same ffmpeg commands have taken 95 s of a core in one first run and 147 s in
# another, and a two-minute run catches one such spell where a seven-minute one averages over
# several: each first run is also set against the probe's median in its turn. A wait for a
# core does not count in processor time; a slower machine does.
probe_start() { # probe_start NAME: samples into $work/probe.NAME until probe_stop
  local out="$work/probe.$1" k
  rm -f "$work/probe.stop" && : >"$out"
  # It ends with the script too ($$ is the script's, also in the subshell), should a failed
  # turn end the script before probe_stop.
  (while [[ ! -e "$work/probe.stop" ]] && kill -0 "$$" 2>/dev/null; do
    /usr/bin/time -f '%U %S' -o "$work/probe.one" "$ffmpeg" -nostdin -loglevel error -f lavfi \
      -i testsrc2=size=640x360:rate=30:duration=2 -c:v libx264 -preset veryfast -threads 1 \
      -f null - && awk '{ printf "%.2f\n", $1 + $2 }' "$work/probe.one" >>"$out"
    for ((k = 0; k < 10; k++)); do [[ -e "$work/probe.stop" ]] || ! kill -0 "$$" 2>/dev/null && break; sleep 0.5; done
  done) &
  probe_pid=$!
}
probe_stop() {
  touch "$work/probe.stop"
  wait "$probe_pid" || true
}
probe_median() { # probe_median NAME: the median of the probe's processor seconds in a turn
  sort -n "$work/probe.$1" | awk '{ v[NR] = $1 } END { if (NR) printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
loads=()
turn() { # turn NAME: notes the load average before a measured turn
  local load
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  loads+=("$(printf '%-40s %s' "$1" "$load")")
  echo "media_bench: $1 (load $load)" >&2
}

# --- mivo-make ----------------------------------------------------------------------------
# A program folder of its own; ffmpeg is reached through a wrapper that notes each call's
# start, end, processor time and argument vector (one file per call: times, the output of
# `times`, and the arguments NUL-separated). The colour table a call reads (lut3d), a temporary
# file mivo-make removes once the call is over, is kept in $work/tables and recorded in its
# place, so that the call can be replayed.
prog="$work/prog"
calls="$work/calls"
mkdir -p "$prog" "$work/site" "$work/bin" "$calls" "$work/tables"
cp "$make" "$prog/mivo-make"
cp -r "$html" "$prog/html"
cat >"$work/bin/ffmpeg" <<EOF
#!/usr/bin/env bash
t0=\$EPOCHREALTIME
kept=()
for a in "\$@"; do
  if [[ "\$a" == *lut3d=file=* ]]; then
    f=\${a#*lut3d=file=} && f=\${f%%:*}
    copy="$work/tables/\$\$.\$t0.cube"
    cp "\$f" "\$copy" 2>/dev/null && a=\${a/"\$f"/"\$copy"}
  fi
  kept+=("\$a")
done
"$ffmpeg" "\$@"
rc=\$?
t1=\$EPOCHREALTIME
printf '%s\0' "\$0" "\${kept[@]}" >"$calls/\$\$.\$t0.argv"
times >"$calls/\$\$.\$t0.cpu"
echo "\$t0 \$t1 \$rc" >"$calls/\$\$.\$t0.time"
exit \$rc
EOF
chmod +x "$work/bin/ffmpeg"
ini() { # ini MEDIA [PROG SITE]: Mivo.ini in cp932 with CR LF (ASCII here)
  printf '[Log]\r\nLevel=3\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nThum=%s\r\nIndex=%s\r\nHtml=""\r\n[Html]\r\nTUse=0\r\nTWidth=160\r\nTHeight=160\r\nReduce=1\r\nMedia=%s\r\n' \
    "$pics" "$pics" "${3:-$work/site}/index.html" "$1" >"${2:-$prog}/Mivo.ini"
}
# One run; its processor time (the output of `times` in the subshell) goes to rerun.cpu.
mivo() { # mivo [PROG]
  (cd "${1:-$prog}" && PATH="$work/bin:$PATH" ./mivo-make --jobs "$jobs" >"$work/mivo.out"
    rc=$?; times >"$work/rerun.cpu"; exit $rc)
}
# The first run: wall time, the largest process's peak (/usr/bin/time: ffmpeg counts too) and
# mivo-make's own (its VmHWM, read until it exits).
mivo_first() {
  (cd "$prog" && PATH="$work/bin:$PATH" exec /usr/bin/time -f '%M' -o "$work/peak.all" \
    ./mivo-make --jobs "$jobs" >"$work/mivo.out") &
  local pid=$! child="" hwm=0 v
  while kill -0 "$pid" 2>/dev/null; do
    # mivo-make is the child of /usr/bin/time, itself a child of the subshell or the subshell
    [[ -z "$child" ]] && child=$(pgrep -x mivo-make -P "$(pgrep -P "$pid" | tr '\n' ,)$pid" | head -1 || true)
    if [[ -n "$child" ]]; then
      v=$(awk '/VmHWM/ { print $2 }' "/proc/$child/status" 2>/dev/null || true)
      [[ -n "$v" ]] && hwm=$v
    fi
    sleep 0.05
  done
  wait "$pid" || { echo "media_bench: mivo-make failed: $(tail -n 2 "$work/mivo.out")" >&2; exit 1; }
  echo "$hwm" >"$work/peak.mivo"
}

ini 1
: >"$prog/Mivo.log"
turn "mivo-make, media on, first run"
probe_start first
mivo_first_time=$(timed mivo_first)
probe_stop
peak_all=$(tail -1 "$work/peak.all")
peak_mivo=$(cat "$work/peak.mivo")
made() { # made FOLDER PATTERN: how many files of FOLDER match
  { find "$work/site/$1" -maxdepth 1 -iname "$2" 2>/dev/null || true; } | wc -l
}
made_thumbs=$(made thumbs '*.jpg')
made_view=$(made view '*.jpg')
made_heic=$(made view '*.heic.jpg')
made_posters=$(made view 'VID_*.jpg')
made_videos=$(made view 'VID_*.mp4')
said=$(grep -v '^ *$' "$work/mivo.out" | tail -1 || true)
cp "$prog/Mivo.log" "$work/first.log"
mv "$calls" "$work/calls.first" && mkdir "$calls" # the first run's calls alone

# --- thumbsup ---------------------------------------------------------------------------
thumbsup_time="not run" thumbsup_note=""
if [[ "${MIVO_BENCH_THUMBSUP:-1}" == 0 ]]; then
  thumbsup_note="MIVO_BENCH_THUMBSUP=0"
else
  find_thumbsup "$cache/thumbsup"
  if [[ -z "$thumbsup_note" ]]; then
    thumbsup_run() {
      "$thumbsup" --input "$pics" --output "$work/thumbsup" --concurrency "$jobs" \
        --thumb-size 320 --large-size 2048 --no-usage-stats --log info >"$work/thumbsup.log" 2>&1
    }
    turn "thumbsup, first run"
    probe_start thumbsup
    thumbsup_time=$(timed thumbsup_run) || thumbsup_time="failed"
    probe_stop
    if [[ -f "$work/thumbsup/index.html" ]]; then
      # What became of each original: a large copy named after it (any extension).
      t_jpeg=0 t_heic=0 t_videos=0
      for f in "$pics"/IMG_* "$pics"/VID_*; do
        name=$(basename "$f")
        [[ -n "$(find "$work/thumbsup/media/large" -name "${name%.*}.*" -print -quit 2>/dev/null)" ]] || continue
        case "$name" in
          *.jpg) t_jpeg=$((t_jpeg + 1)) ;;
          *.heic) t_heic=$((t_heic + 1)) ;;
          *) t_videos=$((t_videos + 1)) ;;
        esac
      done
      t_errors=$(grep -c 'thumbsup:error Error processing' "$work/thumbsup.log" || true)
      thumbsup_note="thumbsup $("$thumbsup" --version | tr -d '[:space:]'); large copies of $t_jpeg of $((count - heic)) JPEG, $t_heic of $heic HEIC, $t_videos of $videos videos; $t_errors copies failed"
      # Why a HEIC picture was left out, in thumbsup's words.
      why=$(grep -i -m1 'HEIC' "$work/thumbsup.log" | sed 's/^.*thumbsup:[a-z]* //' || true)
      if [[ -n "$why" ]]; then thumbsup_note+=$'\n   '"$why"; fi
      why=$(grep -m1 -A1 'Error processing .*\.heic' "$work/thumbsup.log" | tail -1 | sed 's/^.*thumbsup:[a-z]* //' || true)
      if [[ -n "$why" ]]; then thumbsup_note+=$'\n   '"$why"; fi
    else
      thumbsup_time="failed"
      thumbsup_note="thumbsup made no index.html (log: $(grep -i error "$work/thumbsup.log" | head -1))"
    fi
  fi
fi

# The same first run once more right after thumbsup's, into a fresh output folder: this
# machine's speed drifts by up to a third within minutes (one build's first run took 108.8 s
# and 146.0 s half an hour apart), so thumbsup is timed between two first runs of Mivo and set
# against their mean, which a steady drift moves as much as it moves thumbsup. Peak memory is
# the larger of the two runs'.
mivo_second_time="" mivo_mean_time="$mivo_first_time"
if [[ "$thumbsup_time" =~ ^[0-9.]+$ ]]; then
  rm -rf "$work/site" && mkdir "$work/site"
  turn "mivo-make, media on, first run again"
  probe_start second
  mivo_second_time=$(timed mivo_first)
  probe_stop
  peak_all=$(awk -v a="$peak_all" -v b="$(tail -1 "$work/peak.all")" 'BEGIN { print (b > a) ? b : a }')
  peak_mivo=$(awk -v a="$peak_mivo" -v b="$(cat "$work/peak.mivo")" 'BEGIN { print (b > a) ? b : a }')
  mivo_mean_time=$(awk -v a="$mivo_first_time" -v b="$mivo_second_time" 'BEGIN { printf "%.3f", (a + b) / 2 }')
  rm -rf "$calls" && mkdir "$calls"
fi

# Media off re-runs in a copy of the site with a program folder of its own, made once with
# Media=0 before it is timed; the two re-runs then take turns, so that a busy spell of the
# machine falls on both alike (ten of one, then ten of the other, read 0.9x to 3.2x at a load
# of 4).
prog_off="$work/prog-off"
mkdir -p "$prog_off"
cp "$make" "$prog_off/mivo-make"
cp -r "$html" "$prog_off/html"
cp -a "$work/site" "$work/site-off"
ini 0 "$prog_off" "$work/site-off"
mivo "$prog_off" || { echo "media_bench: mivo-make (media off) failed: $(tail -n 2 "$work/mivo.out")" >&2; exit 1; }
turn "mivo-make, nothing changed, media on and off in turn"
mivo_again="" mivo_again_cpu="" mivo_off="" mivo_off_cpu=""
for ((i = 0; i < reruns; i++)); do
  read -r w c < <(best 1 mivo)
  mivo_again=$(awk -v a="$mivo_again" -v b="$w" 'BEGIN { print (a == "" || b < a) ? b : a }')
  mivo_again_cpu=$(awk -v a="$mivo_again_cpu" -v b="$c" 'BEGIN { print (a == "" || b < a) ? b : a }')
  read -r w c < <(best 1 mivo "$prog_off")
  mivo_off=$(awk -v a="$mivo_off" -v b="$w" 'BEGIN { print (a == "" || b < a) ? b : a }')
  mivo_off_cpu=$(awk -v a="$mivo_off_cpu" -v b="$c" 'BEGIN { print (a == "" || b < a) ? b : a }')
done

# --- the web videos alone ---------------------------------------------------------------
# Each command is kept as a file of its arguments, NUL-separated: $work/cmds/web/ the web
# videos to replay, $work/cmds/all/ every ffmpeg call of the run (for the floor).
# The web-video commands come from the log ("ffmpeg: <argv>" lines, or "run: <argv>" lines of
# ffmpeg writing a fast-start MP4), split at spaces or as xargs splits (quotes and
# backslashes): whichever gives an argument vector ffmpeg received in the run (the wrapper's
# record; the output may differ: Mivo logs the final name, ffmpeg writes a temporary file);
# when neither does, the line is counted as not matching. Without any such line in
# the log, they come from the wrapper's record.
is_web_video() { # is_web_video ARG...: writes a fast-start MP4
  local a
  for a in "$@"; do [[ "$a" == *faststart* ]] && return 0; done
  return 1
}
key_of() { # key_of ARG...: the arguments between argv[0] and the output, joined with US; a
  # colour table's name left out (the log names none, the wrapper its own copy)
  local IFS=$'\x1f' a rest keyed=()
  for a in "${@:2:$#-2}"; do
    if [[ "$a" == *lut3d=file=* ]]; then
      rest=${a#*lut3d=file=}
      a="${a%%lut3d=file=*}lut3d=file=:${rest#*:}"
    fi
    keyed+=("$a")
  done
  echo "${keyed[*]}"
}
mkdir -p "$work/cmds/web" "$work/cmds/all" "$work/replay"
# The calls the wrapper saw, in start order: "start end status argument-file".
for f in "$work/calls.first"/*.time; do
  [[ -e "$f" ]] || continue
  echo "$(cat "$f") ${f%.time}.argv"
done | sort -g >"$work/calls.txt"
declare -A recorded=()
web_spans=() web_cpu=0
k=0
while read -r t0 t1 rc file; do
  k=$((k + 1))
  cp "$file" "$work/cmds/all/$(printf '%04d' "$k")"
  mapfile -d '' -t argv <"$file"
  recorded["$(key_of "${argv[@]}")"]=$file
  if is_web_video "${argv[@]}"; then
    web_spans+=("$t0 $t1")
    web_cpu=$(awk -v s="$web_cpu" -v c="$(cpu_of "${file%.argv}.cpu")" 'BEGIN { printf "%.3f", s + c }')
  fi
done <"$work/calls.txt"

n=0 unmatched=0
while IFS= read -r line; do
  line=${line%$'\r'}
  case "$line" in
    *"] ffmpeg: "*) text=${line#*\] ffmpeg: } ;;
    *"] run: "*) text=${line#*\] run: } ;;
    *) continue ;;
  esac
  chosen=()
  for way in spaces quotes; do
    if [[ $way == spaces ]]; then
      read -r -a argv <<<"$text"
    else
      mapfile -d '' -t argv < <(printf '%s' "$text" | xargs printf '%s\0' 2>/dev/null)
    fi
    [[ "${#argv[@]}" -gt 0 ]] || continue
    # argv[0] may be left out of an "ffmpeg:" line
    [[ "$(basename "${argv[0]}")" == ffmpeg* || "$line" == *"] run: "* ]] || argv=(ffmpeg "${argv[@]}")
    [[ "$(basename "${argv[0]}")" == ffmpeg* ]] || continue
    [[ "${#chosen[@]}" -gt 0 ]] || chosen=("${argv[@]}")
    if [[ -n "${recorded["$(key_of "${argv[@]}")"]:-}" ]]; then
      chosen=("${argv[@]}")
      break
    fi
  done
  [[ "${#chosen[@]}" -gt 1 ]] || continue
  [[ "$line" == *"] ffmpeg: "* ]] || is_web_video "${chosen[@]}" || continue
  match=${recorded["$(key_of "${chosen[@]}")"]:-}
  if [[ -z "$match" ]]; then
    unmatched=$((unmatched + 1))
  else
    # The colour table as the wrapper kept it, in place of the name the log gives.
    mapfile -d '' -t argv <"$match"
    for i in "${!chosen[@]}"; do
      [[ "${chosen[$i]}" == *lut3d=file=* ]] && chosen[i]=${argv[$i]}
    done
  fi
  n=$((n + 1))
  printf '%s\0' "${chosen[@]}" >"$work/cmds/web/$(printf '%04d' "$n")"
done < <(iconv -f CP932 -t UTF-8 "$work/first.log" 2>/dev/null || cat "$work/first.log")
source_of_commands="the log ($n lines"
((unmatched == 0)) || source_of_commands+=", $unmatched not matching what ffmpeg received"
source_of_commands+=")"
if ((n == 0)); then
  if [[ "${#web_spans[@]}" -gt 0 ]]; then
    source_of_commands="the wrapper's record: no ffmpeg line in the log"
    while read -r t0 t1 rc file; do
      mapfile -d '' -t argv <"$file"
      is_web_video "${argv[@]}" && cp "$file" "$work/cmds/web/$(basename "$file")"
    done <"$work/calls.txt"
  else
    source_of_commands="nowhere: mivo-make ran no web-video ffmpeg"
  fi
fi

# replay FOLDER: runs each command of FOLDER alone, one after the other, with the real ffmpeg
# (argv[0] dropped); the output (the last argument) becomes a temporary file, or stays a pipe
# (stdout thrown away). A call that writes no file runs as it is: one whose last argument is an
# option (the question `ffmpeg -filters` earlier versions asked in a run with an HDR clip), or a
# question for help (`ffmpeg -h filter=zscale`, asked once in a run with an HDR clip): made a
# file name, ffmpeg would take it for an output without a format, or a help topic. Prints the total
# seconds and processor seconds; failures are counted in $work/failed. Each command's seconds
# go to $work/replay.times ("seconds file").
replay() {
  local f args last t0 t1 total=0 cpu=0
  for f in "$1"/*; do
    [[ -e "$f" ]] || continue
    mapfile -d '' -t args <"$f"
    args=("${args[@]:1}")
    last=${args[-1]}
    if [[ "$last" != -* && "$last" != pipe:* && "${args[*]: -2:1}" != -h ]]; then
      [[ "$last" == *.* ]] && args[-1]="$work/replay/out.${last##*.}" || args[-1]="$work/replay/out"
    fi
    t0=$(now)
    (cd "$prog" && "$ffmpeg" -nostdin -y -loglevel error "${args[@]}" </dev/null >/dev/null 2>>"$work/replay.err"
      rc=$?; times >"$work/replay.cpu"; exit $rc) || echo "$f" >>"$work/failed"
    t1=$(now)
    echo "$(elapsed "$t0" "$t1") $f" >>"$work/replay.times"
    total=$(awk -v s="$total" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", s + b - a }')
    cpu=$(awk -v s="$cpu" -v c="$(cpu_of "$work/replay.cpu")" 'BEGIN { printf "%.3f", s + c }')
    rm -f "$work/replay"/*
  done
  echo "$total $cpu"
}
: >"$work/failed"
turn "web-video commands alone"
web_count=$(find "$work/cmds/web" -type f | wc -l)
read -r alone_sum alone_cpu < <(replay "$work/cmds/web")
alone_failed=$(wc -l <"$work/failed")
# Mivo's transcode time: the union of the web-video calls' spans, and their plain sum.
mivo_web_union="-" mivo_web_sum="-"
if [[ "${#web_spans[@]}" -gt 0 ]]; then
  read -r mivo_web_union mivo_web_sum < <(printf '%s\n' "${web_spans[@]}" | sort -g | awk '
    NF == 2 { sum += $2 - $1
      if (!open || $1 > end) { if (open) union += end - start; start = $1; end = $2; open = 1 }
      else if ($2 > end) end = $2 }
    END { if (open) union += end - start; printf "%.3f %.3f\n", union, sum }')
fi

# --- the floor of the whole run ------------------------------------------------------------
read -r pw ph < <(vipsheader -f width "$pics/IMG_0001".* | tr '\n' ' '; vipsheader -f height "$pics/IMG_0001".*)
eighths=$(awk -v w="$pw" -v h="$ph" 'BEGIN {
  s = w / 2048; if (h / 2048 > s) s = h / 2048; if (s < 1) s = 1
  vw = int(w / s + 0.5); vh = int(h / s + 0.5)
  for (m = 1; m <= 4; m++) if (int((w * m + 7) / 8) >= 2 * vw && int((h * m + 7) / 8) >= 2 * vh) break
  if (m > 4) m = 8
  print m }')
decode_floor() {
  (cd "$pics" && { ls IMG_*.jpg 2>/dev/null || true; } | xargs -r -P "$jobs" -n 1 djpeg -scale "$eighths/8" -outfile /dev/null)
  (cd "$pics" && { ls IMG_*.heic 2>/dev/null || true; } | xargs -r -P "$jobs" -n 1 vips avg >/dev/null)
}
turn "decode floor of the pictures"
floor_pictures=$(timed decode_floor)
turn "every ffmpeg call of the run alone"
all_count=$(find "$work/cmds/all" -type f | wc -l)
: >"$work/replay.times"
read -r floor_ffmpeg _ < <(replay "$work/cmds/all")
floor_total=$(awk -v a="$floor_pictures" -v b="$floor_ffmpeg" 'BEGIN { printf "%.3f", a + b }')
# The same calls $jobs at a time, the longest first (by their time alone): the least any run
# that makes these posters and web videos can take on this machine's cores, which run two
# programs at once at less than twice the speed of one.
cat >"$work/replay-one" <<END
#!/usr/bin/env bash
mapfile -d '' -t args <"\$1"
args=("\${args[@]:1}")
last=\${args[-1]} out=""
if [[ "\$last" != -* && "\$last" != pipe:* && "\${args[*]: -2:1}" != -h ]]; then
  out="$work/replay/\$(basename "\$1")"
  [[ "\$last" == *.* ]] && out+=".\${last##*.}"
  args[-1]=\$out
fi
cd "$prog" && "$ffmpeg" -nostdin -y -loglevel error "\${args[@]}" </dev/null >/dev/null 2>>"$work/replay.err" || echo "\$1" >>"$work/failed"
[[ -z "\$out" ]] || rm -f "\$out"
END
chmod +x "$work/replay-one"
turn "every ffmpeg call of the run, $jobs at a time"
together() { sort -rg "$work/replay.times" | cut -d' ' -f2- | tr '\n' '\0' | xargs -0 -r -n 1 -P "$jobs" "$work/replay-one"; }
floor_ffmpeg_together=$(timed together)
floor_together=$(awk -v a="$floor_pictures" -v b="$floor_ffmpeg_together" 'BEGIN { printf "%.3f", a + b }')

# --- the table --------------------------------------------------------------------------
printf '\n%s pictures of %sx%s (%s HEIC), %s videos of %s s at 1920x1080, %s jobs, warm cache\n' \
  "$count" "$pw" "$ph" "$heic" "$videos" "$seconds" "$jobs"
printf 'mivo-make made %s thumbnails and %s display copies (%s from HEIC, %s posters), %s web videos\n' \
  "$made_thumbs" "$made_view" "$made_heic" "$made_posters" "$made_videos"
printf 'and said: %s\n' "$said"
printf '%-54s %10s %10s\n' "" "seconds" "ratio"
printf '%-54s %10s %10s\n' "mivo-make, media on, first run" "$mivo_first_time" ""
if [[ -n "$mivo_second_time" ]]; then
  printf '%-54s %10s %10s\n' "  again, right after thumbsup's" "$mivo_second_time" ""
  printf '%-54s %10s %10s\n' "  the mean of the two" "$mivo_mean_time" ""
fi
printf '%-54s %10s %10s\n' "thumbsup, first run (/ mivo-make, the mean)" "$thumbsup_time" "$(ratio "$thumbsup_time" "$mivo_mean_time")"
[[ -n "$thumbsup_note" ]] && printf '  (%s)\n' "$thumbsup_note"
# Each first run in the probe's time (its median in the turn): the work a run is, whatever
# the machine's speed in its minutes.
probe_first=$(probe_median first) probe_second="" probe_thumbsup=""
[[ -n "$mivo_second_time" ]] && probe_second=$(probe_median second)
[[ -e "$work/probe.thumbsup" ]] && probe_thumbsup=$(probe_median thumbsup)
printf '%-54s %10s %10s\n' "the probe's processor seconds in mivo-make's first run" "$probe_first" ""
if [[ -n "$probe_second" && -n "$probe_thumbsup" ]]; then
  printf '%-54s %10s %10s\n' "  in thumbsup's, in mivo-make's second" "$probe_thumbsup" "$probe_second"
  in_probes=$(awk -v a="$mivo_first_time" -v pa="$probe_first" -v b="$mivo_second_time" -v pb="$probe_second" \
    'BEGIN { if (pa > 0 && pb > 0) printf "%.3f", (a / pa + b / pb) / 2 }')
  thumbsup_in_probes=$(awk -v t="$thumbsup_time" -v p="$probe_thumbsup" 'BEGIN { if (t ~ /^[0-9.]+$/ && p > 0) printf "%.3f", t / p }')
  printf '%-54s %10s %10s\n' "thumbsup / mivo-make (the mean), each in probe times" "" "$(ratio "$thumbsup_in_probes" "$in_probes")"
fi
printf '%-54s %10s %10s\n' "mivo-make, media on, nothing changed (/ media off)" "$mivo_again" "$(ratio "$mivo_again" "$mivo_off")"
printf '%-54s %10s %10s\n' "mivo-make, media off, nothing changed" "$mivo_off" ""
printf '%-54s %10s %10s\n' "  processor seconds, media on (/ media off)" "$mivo_again_cpu" "$(ratio "$mivo_again_cpu" "$mivo_off_cpu")"
printf '%-54s %10s %10s\n' "  processor seconds, media off" "$mivo_off_cpu" ""
printf '  (best of %s runs each)\n' "$reruns"
printf '%-54s %10s %10s\n' "web videos in mivo-make (/ alone)" "$mivo_web_union" "$(ratio "$mivo_web_union" "$alone_sum")"
printf '%-54s %10s %10s\n' "  the same commands alone, one after the other" "$alone_sum" ""
printf '%-54s %10s %10s\n' "  sum of mivo-make's web-video calls (/ alone)" "$mivo_web_sum" "$(ratio "$mivo_web_sum" "$alone_sum")"
printf '%-54s %10s %10s\n' "  their processor seconds in mivo-make (/ alone)" "$web_cpu" "$(ratio "$web_cpu" "$alone_cpu")"
printf '%-54s %10s %10s\n' "  processor seconds alone" "$alone_cpu" ""
printf '  (%s web-video calls in the run, %s replayed from %s%s)\n' "${#web_spans[@]}" "$web_count" \
  "$source_of_commands" "$( ((alone_failed > 0)) && echo "; $alone_failed failed alone, see below" || true)"
printf '%-54s %10s %10s\n' "floor: pictures decoded + every ffmpeg call alone" "$floor_total" ""
printf '%-54s %10s %10s\n' "  pictures decoded (djpeg $eighths/8, vips avg for HEIC)" "$floor_pictures" ""
printf '%-54s %10s %10s\n' "  $all_count ffmpeg calls alone (posters, web videos)" "$floor_ffmpeg" ""
printf '%-54s %10s %10s\n' "mivo-make first run (the mean) / floor" "" "$(ratio "$mivo_mean_time" "$floor_total")"
printf '%-54s %10s %10s\n' "floor on $jobs cores: pictures + ffmpeg calls $jobs at a time" "$floor_together" ""
printf '%-54s %10s %10s\n' "  the ffmpeg calls $jobs at a time, longest first" "$floor_ffmpeg_together" ""
printf '%-54s %10s %10s\n' "mivo-make first run (the mean) / floor on $jobs cores" "" "$(ratio "$mivo_mean_time" "$floor_together")"
printf '%-54s %10s %10s\n' "thumbsup first run / floor on $jobs cores" "" "$(ratio "$thumbsup_time" "$floor_together")"
printf 'peak memory of the first run: mivo-make %s KiB, largest process (ffmpeg counted) %s KiB\n' \
  "$peak_mivo" "$peak_all"
printf 'load average before each turn (1, 5, 15 min):\n'
printf '  %s\n' "${loads[@]}"
if [[ -s "$work/replay.err" ]]; then
  printf 'ffmpeg alone said:\n'
  head -5 "$work/replay.err" | sed 's/^/  /'
fi
