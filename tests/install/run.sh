#!/usr/bin/env bash
# Install test of the Debian package, as root on this machine: builds the package
# (scripts/package.sh), checks its desktop entry, AppStream metainfo and lintian, installs it
# with apt-get, then, as an ordinary user with a fresh home: mivo-make --version, a sample make,
# the window on the offscreen platform saving its settings under ~/.config/mivo and reading them
# again on a restart, man mivo and man mivo-make without warnings; finally apt-get purge leaves
# nothing of the package behind.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

if [[ $(id -u) -ne 0 ]]; then
  echo "install test: skipped (it installs a package, so it runs only as root)"
  exit 0
fi

fail() {
  echo "install test: FAILED: $*" >&2
  exit 1
}

user=mivo-install-test
home=""
window=""
created_user=0
installed=0
cleanup() {
  if [[ -n "$window" ]] && kill -0 "$window" 2>/dev/null; then
    kill -KILL "$window" 2>/dev/null || true
  fi
  if ((installed)); then
    apt-get purge -y -qq mivo >/dev/null 2>&1 || true
  fi
  if ((created_user)); then
    userdel "$user" 2>/dev/null || true
  fi
  if [[ -n "$home" ]]; then
    rm -rf "$home"
  fi
}
trap cleanup EXIT

if dpkg-query -W -f='${Status}' mivo 2>/dev/null | grep -q 'installed'; then
  echo "install test: removing the mivo package left by an earlier run"
  apt-get purge -y -qq mivo >/dev/null
fi

echo "== install test: building the package"
deb="$(bash scripts/package.sh | tail -n 1)"
[[ -f "$deb" ]] || fail "scripts/package.sh made no package"

echo "== install test: checking $(basename "$deb")"
unpacked="$(mktemp -d)"
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/mivo.desktop"
# "Open with Mivo" on a folder opens the window on it.
grep -qx 'Exec=mivo %f' "$unpacked/usr/share/applications/mivo.desktop" ||
  fail "the desktop entry does not pass a folder"
grep -qx 'MimeType=inode/directory;' "$unpacked/usr/share/applications/mivo.desktop" ||
  fail "the desktop entry is not offered for folders"
# There is no home page: no placeholder address in what the package installs or says.
! dpkg-deb -f "$deb" Homepage | grep -q . || fail "the package names a home page"
! grep -rq 'mivo\.example\.org' "$unpacked" || fail "a placeholder address is installed"
# libvips and TurboJPEG are opened at run time, so shlibdeps cannot find them: the package
# must name them.
dpkg-deb -f "$deb" Depends | grep -q 'libvips42' || fail "the package does not depend on libvips42"
dpkg-deb -f "$deb" Depends | grep -q 'libturbojpeg0' || fail "the package does not depend on libturbojpeg0"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
[[ -f "$unpacked/usr/share/icons/hicolor/scalable/apps/mivo.svg" ]] || fail "no scalable icon"
dpkg-deb -f "$deb" Recommends | grep -q 'qt6-translations-l10n' ||
  fail "the package does not recommend Qt's translations"
dpkg-deb -f "$deb" Recommends | grep -qw 'ffmpeg' || fail "the package does not recommend ffmpeg"
grep -q 'License: Expat' "$unpacked/usr/share/doc/mivo/copyright" || fail "no licence in copyright"
# The English catalogue and help file lie in the program folder, where the programs read them.
[[ -s "$unpacked/usr/lib/mivo/locale/en/LC_MESSAGES/mivo.mo" ]] || fail "no English catalogue"
[[ -s "$unpacked/usr/lib/mivo/readme-en.txt" ]] || fail "no English help file"
lint=0
lintian --fail-on error "$deb" >"$unpacked.lintian" 2>&1 || lint=$?
grep -v 'running with root privileges' "$unpacked.lintian" || true
rm -f "$unpacked.lintian"
rm -rf "$unpacked"
((lint == 0)) || fail "lintian reports errors"

echo "== install test: apt-get install"
export DEBIAN_FRONTEND=noninteractive
installed=1
apt-get install -y -qq "$deb" >/dev/null
files="$(dpkg -L mivo)"

# An ordinary user with a fresh home.
if ! id "$user" >/dev/null 2>&1; then
  useradd --no-create-home --shell /usr/sbin/nologin "$user"
  created_user=1
fi
home="$(mktemp -d /tmp/mivo-install-home.XXXXXX)"
chown "$user:" "$home"
# setpriv and env execute the command in their own process, so a signal sent to a command
# started in the background reaches the program itself.
as_user=(setpriv --reuid="$user" --regid="$user" --init-groups
  env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8)
config="$home/.config/mivo"

# A system may leave out /usr/share/doc (dpkg path-exclude): nothing the program needs is there.
rm -rf /usr/share/doc/mivo

echo "== install test: mivo --help and --version without a display"
"${as_user[@]}" mivo --help | grep -q 'mivo-make' || fail "mivo --help shows no help without a display"
"${as_user[@]}" mivo --version | grep -q '^mivo ' || fail "mivo --version fails without a display"

echo "== install test: mivo-make as $user"
version="$("${as_user[@]}" mivo-make --version)"
echo "$version"
grep -qx "settings: $config" <<<"$version" || fail "mivo-make --version names no settings folder in the home"
grep -qx "templates: /usr/lib/mivo/html" <<<"$version" || fail "templates are not the installed ones"
"${as_user[@]}" mivo-make >"$home/make.out" || { cat "$home/make.out"; fail "the sample make failed"; }
[[ "$(tail -n 1 "$home/make.out")" == "完了しました" ]] || fail "the sample make did not finish"
# An English desktop gets English, also without the en_US.UTF-8 locale generated.
"${as_user[@]}" LANG=en_US.UTF-8 mivo-make >"$home/make.out" || fail "the English make failed"
[[ "$(tail -n 1 "$home/make.out")" == "Done" ]] || fail "mivo-make does not speak English"
"${as_user[@]}" LANG=en_US.UTF-8 mivo --help | grep -q '^Opens Mivo' ||
  fail "mivo --help is not English on an English desktop"
for page in index.html list.html pict.html; do
  [[ -s "$home/Mivo/sample-gallery/$page" ]] || fail "no $page in ~/Mivo/sample-gallery"
done
[[ -f "$config/Mivo.ini" && -f "$config/Mivo.csv" ]] || fail "the starter settings were not taken"
grep -q '~' "$config/Mivo.ini" && fail "Mivo.ini still holds a ~"
grep -q "^Index=$home/Mivo/sample-gallery/index.html" "$config/Mivo.ini" ||
  fail "Mivo.ini does not point into the home"

# Reduced copies: the installed maker finds libvips at run time and makes them beside the pages.
cp -p "$config/Mivo.ini" "$home/Mivo.ini.kept"
sed -i 's/^TUse=1\r$/TUse=0\r\nReduce=1\r/' "$config/Mivo.ini"
"${as_user[@]}" mivo-make >"$home/reduce.out" || { cat "$home/reduce.out"; fail "the make with reduced copies failed"; }
gallery="$home/Mivo/sample-gallery"
[[ -f "$gallery/thumbs/.mivo-copies" ]] || fail "no reduced copies were made"
grep -q 'thumbs/' "$gallery/list.html" || fail "the list does not show the reduced thumbnails"
find "$gallery/view" -name '*.jpg' | grep -q . || fail "no display copies were made"
# Every picture's line says its copies were made: the sixth number after the name is 1.
awk -F'\t' 'NF >= 13 && $7 != 1 { bad = 1 } END { exit !bad }' "$gallery/thumbs/.mivo-copies" &&
  fail "a picture could not be reduced"
mv "$home/Mivo.ini.kept" "$config/Mivo.ini"

# The window: closed by SIGTERM as a desktop session would end it, it ends as a closed window
# does: a gallery list it did not change is left as it is (a line added by hand while it runs
# stays), and a stored thumbnail folder that has gone (an unplugged disk) is kept as it was.
# The log (level 2) shows the start and end banners.
start_window() {
  "${as_user[@]}" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" mivo >>"$home/window.out" 2>&1 &
  window=$!
}
wait_for_starts() {
  local count="$1"
  for _ in $(seq 1 300); do
    if [[ -f "$config/Mivo.log" ]] && (($(grep -c 'Start Mivo' "$config/Mivo.log") >= count)); then
      return 0
    fi
    kill -0 "$window" 2>/dev/null || { cat "$home/window.out"; fail "the window ended by itself"; }
    sleep 0.1
  done
  fail "the window did not start within 30 seconds"
}
close_window() {
  kill -TERM "$window"
  local status=0
  wait "$window" || status=$?
  window=""
  ((status == 0)) || { cat "$home/window.out"; fail "the window ended with status $status on SIGTERM"; }
}

echo "== install test: the window on the offscreen platform"
sed -i 's|^Thum=.*|Thum=/nonexistent/thumbnails\r|' "$config/Mivo.ini"
printf '[Log]\r\nLevel=2\r\n' >>"$config/Mivo.ini"
start_window
wait_for_starts 1
printf 'stray,/nowhere,,\r\n' >>"$config/Mivo.csv"
close_window
# A gallery list the window did not change is left as it is on disk: a line added to the file
# by hand while the window runs is not overwritten with less.
grep -q 'stray' "$config/Mivo.csv" || fail "the window rewrote a gallery list it had not changed"
grep -q '^Thum=/nonexistent/thumbnails' "$config/Mivo.ini" ||
  fail "the window lost the stored thumbnail folder"
tail -n 2 "$config/Mivo.log" | grep -q 'End Mivo' || fail "the window did not close properly"
[[ "$(wc -l <"$config/Mivo.csv")" -eq 4 ]] || fail "the gallery list lost rows"
start_window
wait_for_starts 2
close_window
grep -q '^Thum=/nonexistent/thumbnails' "$config/Mivo.ini" ||
  fail "the stored settings did not survive a restart"
for name in Mivo.ini Mivo.csv Mivo.log; do
  [[ ! -e "/usr/lib/mivo/$name" ]] || fail "$name was written into the program folder"
done

echo "== install test: man mivo and man mivo-make, in a UTF-8 and an ASCII locale"
# Both pages render without a word from groff: the Japanese captions where the terminal can
# show them, their English alone where it cannot. MANWIDTH is not man-db's 80 columns, so that
# each locale's own formatting is read, never a cat page that another locale formatted first.
for page in mivo mivo-make; do
  for locale in C.UTF-8 C; do
    LANG=$locale MANWIDTH=100 MANPAGER=cat man "$page" >"$home/man.out" 2>"$home/man.err" ||
      fail "man $page fails"
    [[ ! -s "$home/man.err" ]] || { cat "$home/man.err"; fail "man $page warns in the $locale locale"; }
  done
done
LANG=C.UTF-8 MANWIDTH=100 MANPAGER=cat man mivo >"$home/man.out" 2>/dev/null
grep -q '“作成” (Make)' "$home/man.out" || fail "man mivo shows no Japanese caption"
LANG=C MANWIDTH=100 MANPAGER=cat man mivo >"$home/man.out" 2>/dev/null
grep -q '"Make"' "$home/man.out" || fail "man mivo shows no caption in ASCII"
MANWIDTH=100 MANPAGER=cat man mivo-make >"$home/man.out" 2>/dev/null
grep -q 'make Mivo' "$home/man.out" || fail "man mivo-make shows nothing"

echo "== install test: apt-get purge"
apt-get purge -y -qq mivo >/dev/null
installed=0
! dpkg-query -W mivo >/dev/null 2>&1 || fail "dpkg still knows the package"
left=()
while IFS= read -r path; do
  [[ -z "$path" || "$path" == "/." ]] && continue
  if [[ -e "$path" || -L "$path" ]]; then
    # A folder shared with other packages stays; anything else of ours must be gone.
    if [[ -d "$path" && ! -L "$path" ]] && dpkg-query -S "$path" >/dev/null 2>&1; then
      continue
    fi
    left+=("$path")
  fi
done <<<"$files"
((${#left[@]} == 0)) || fail "left behind after purge: ${left[*]}"
echo "install test: passed (package built, checked, installed, used by $user, purged clean)"
