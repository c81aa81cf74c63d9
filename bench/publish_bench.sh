#!/usr/bin/env bash
# Times mivo-make --publish against rsync -a of the same folder, over SSH to an OpenSSH server
# on 127.0.0.1 that the script starts itself (sshd with host and user keys made in its own
# folder; the user's ~/.ssh is not read).
#   bench/publish_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# The site: MIVO_BENCH_ITEMS (10,000) pictures of 480 x 360 with the index page in their folder
# and reduced copies on ([Html] Reduce=1), so each picture brings three copies: about 40,000
# files. Measured in one run, warm cache:
#   - first publish: `rsync -a` of the site folder alone and `mivo-make --publish-only`, each
#     into an empty folder on the server, in turns (3 rounds, MIVO_BENCH_ROUNDS), each its best
#     time;
#   - nothing changed: `mivo-make --publish-only` again (best of 3): the site is as the last
#     complete publish left it, so the server is not asked;
#   - the pages' times changed but not their bytes: `mivo-make --publish-only` (rsync compares
#     every file with the server) and the file data it sent (rsync's "Literal data", which
#     mivo-make logs at level 2), in turns with `rsync -a` of the folder with nothing to send;
#   - one picture added: `mivo-make --publish` (makes, then publishes) and every file it sent
#     (logged at level 3): that picture, its copies and the pages that changed.
# Needs sshd (openssh-server), rsync, ImageMagick's convert and python3, and root for sshd's
# /run/sshd. The files take about 1 GB in a temporary folder that is removed at the end.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="$(realpath "${1:-$root/build/mivo-make}")"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
[[ -x "$make" ]] || { echo "publish_bench: build first ($make)" >&2; exit 1; }
for tool in /usr/sbin/sshd ssh ssh-keygen rsync convert python3; do
  command -v "$tool" >/dev/null || { echo "publish_bench: $tool is missing" >&2; exit 1; }
done
items="${MIVO_BENCH_ITEMS:-10000}"
rounds="${MIVO_BENCH_ROUNDS:-3}"

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-publish-bench.XXXXXX")"
sshd_pid=
cleanup() {
  [[ -n "$sshd_pid" ]] && kill "$sshd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
now() { echo "$EPOCHREALTIME"; }
since() { python3 -c "print(f'{$(now) - $1:.3f}')"; }

# The SSH server and an ssh configuration that names it mivo-bench.
mkdir -p /run/sshd "$work/ssh"
ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/host_key" </dev/null
ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/user_key" </dev/null
cp "$work/ssh/user_key.pub" "$work/ssh/authorized_keys"
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat >"$work/ssh/sshd_config" <<END
Port $port
ListenAddress 127.0.0.1
HostKey $work/ssh/host_key
AuthorizedKeysFile $work/ssh/authorized_keys
PidFile $work/ssh/sshd.pid
StrictModes no
UsePAM no
PermitRootLogin prohibit-password
PasswordAuthentication no
END
/usr/sbin/sshd -D -e -f "$work/ssh/sshd_config" 2>"$work/ssh/sshd.log" &
sshd_pid=$!
echo "mivo-bench $(cut -d' ' -f1,2 "$work/ssh/host_key.pub")" >"$work/ssh/known_hosts"
cat >"$work/ssh/config" <<END
Host mivo-bench
  HostName 127.0.0.1
  Port $port
  User $(id -un)
  HostKeyAlias mivo-bench
  IdentityFile $work/ssh/user_key
  IdentitiesOnly yes
  IdentityAgent none
  UserKnownHostsFile $work/ssh/known_hosts
  GlobalKnownHostsFile /dev/null
END
for _ in $(seq 100); do
  ssh -F "$work/ssh/config" -o BatchMode=yes mivo-bench true 2>/dev/null && break
  sleep 0.1
done

# The pictures, and a program folder of its own.
echo "== making $items pictures and their gallery (reduced copies on)"
site="$work/site"
mkdir -p "$site" "$work/prog"
convert -seed 3 -size 480x360 plasma:fractal -quality 85 "$work/base.jpg"
python3 - "$work/base.jpg" "$site" "$items" <<'END'
import shutil, sys
base, folder, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
for i in range(count):
    shutil.copyfile(base, f"{folder}/p{i:05d}.jpg")
END
cp "$make" "$work/prog/mivo-make"
cp -r "$html" "$work/prog/html"
ini() { # log level, remote folder
  printf '[Log]\r\nLevel=%s\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nIndex=%s/index.html\r\n[Html]\r\nTUse=0\r\nReduce=1\r\n[Publish]\r\nHost=mivo-bench\r\nFolder=%s\r\nSshConfig=%s\r\n' \
    "$1" "$site" "$site" "$2" "$work/ssh/config" >"$work/prog/Mivo.ini"
}
ini 0 "$work/remote-mivo"
start=$(now)
"$work/prog/mivo-make" >/dev/null
echo "made in $(since "$start") s: $(find "$site" -type f ! -name '.*' | wc -l) files, $(du -sm --exclude='.*' "$site" | cut -f1) MB"
cat "$site"/* "$site"/thumbs/* "$site"/thumbs/2x/* "$site"/view/* >/dev/null 2>&1 || true

echo "== first publish, $rounds rounds in turns"
best_rsync=999999
best_mivo=999999
for round in $(seq "$rounds"); do
  rm -rf "$work/remote-rsync" "$work/remote-mivo" "$site/.mivo-published"
  start=$(now)
  rsync -a -e "ssh -F $work/ssh/config -o BatchMode=yes" "$site/" "mivo-bench:$work/remote-rsync/"
  t_rsync=$(since "$start")
  start=$(now)
  "$work/prog/mivo-make" --publish-only >"$work/out" || { cat "$work/out"; exit 1; }
  t_mivo=$(since "$start")
  echo "round $round: rsync -a $t_rsync s, mivo-make --publish-only $t_mivo s"
  best_rsync=$(python3 -c "print(min($best_rsync, $t_rsync))")
  best_mivo=$(python3 -c "print(min($best_mivo, $t_mivo))")
done
diff -r --exclude='.*' "$site" "$work/remote-mivo" >/dev/null && echo "the server holds the site"

echo "== nothing changed"
ini 2 "$work/remote-mivo"
best_same=999999
for round in $(seq "$rounds"); do
  start=$(now)
  "$work/prog/mivo-make" --publish-only >"$work/out"
  t_same=$(since "$start")
  echo "round $round: $t_same s: $(tail -1 "$work/out")"
  best_same=$(python3 -c "print(min($best_same, $t_same))")
done

echo "== nothing changed but the pages' times: every file compared with the server, in turns with rsync -a"
best_check=999999
best_rsync_same=999999
for round in $(seq "$rounds"); do
  touch "$site"/*.html
  : >"$work/prog/Mivo.log"
  start=$(now)
  "$work/prog/mivo-make" --publish-only >"$work/out"
  t_check=$(since "$start")
  sent="$(grep -ao 'Sent files=.*' "$work/prog/Mivo.log" | tr -d '\r' | tail -1)"
  start=$(now)
  rsync -a -e "ssh -F $work/ssh/config -o BatchMode=yes" "$site/" "mivo-bench:$work/remote-rsync/"
  t_rsync_same=$(since "$start")
  echo "round $round: mivo-make $t_check s ($sent), rsync -a with nothing to send $t_rsync_same s"
  best_check=$(python3 -c "print(min($best_check, $t_check))")
  best_rsync_same=$(python3 -c "print(min($best_rsync_same, $t_rsync_same))")
done

echo "== one picture added"
ini 3 "$work/remote-mivo"
: >"$work/prog/Mivo.log"
convert -seed 9 -size 480x360 plasma:fractal -quality 85 "$site/zz-new.jpg"
start=$(now)
"$work/prog/mivo-make" --publish >"$work/out"
t_added=$(since "$start")
grep -a '\[publishSite\] Sent \[' "$work/prog/Mivo.log" | tr -d '\r' | sed 's/.*Sent \[//; s/\]$//' | sort >"$work/sent"
echo "made and published in $t_added s; sent $(wc -l <"$work/sent") files:"
sed 's/^/  /' "$work/sent"
others="$(grep -v -e 'zz-new' -e '\.html$' "$work/sent" || true)"
[[ -z "$others" ]] && echo "nothing else was sent" || echo "ALSO SENT: $others"

echo
echo "| figure | value |"
echo "| --- | ---: |"
echo "| rsync -a of the site folder, first publish (best of $rounds) | $best_rsync s |"
echo "| mivo-make --publish-only, first publish (best of $rounds) | $best_mivo s |"
echo "| mivo-make / rsync -a (target 1.2x or less) | $(python3 -c "print(f'{$best_mivo / $best_rsync:.2f}x')") |"
echo "| nothing changed (best of $rounds; target under 2 s) | $best_same s |"
echo "| pages' times changed, every file compared with the server (best of $rounds) | $best_check s |"
echo "| rsync -a with nothing to send (best of $rounds) | $best_rsync_same s |"
echo "| files sent after one picture was added | $(wc -l <"$work/sent") |"
