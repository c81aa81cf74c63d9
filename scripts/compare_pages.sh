#!/usr/bin/env bash
# Compares what two builds of mivo-make make, byte for byte: pages, copies, standard output,
# exit status and the level-1 log (time stamps left out), over a set of galleries that covers
# the sample album (single and menu mode as the starter settings have it), single and menu
# mode, a thumbnail folder, filelist.csv with sizes and quoted captions,
# shooting data, reduced copies, hostile names, a sub-folder for the pages and a list
# template with two table blocks.
#   scripts/compare_pages.sh [BASE_REV] [NEW_MIVO_MAKE]
# BASE_REV (default HEAD~1) is checked out into a temporary work tree and its mivo-make built
# there (no tests, no window); NEW_MIVO_MAKE defaults to build/mivo-make. Prints one line per
# gallery and a summary; exits 1 when anything differs. MIVO_COMPARE_KEEP=1 keeps the folder;
# MIVO_COMPARE_BASE_MAKE=<path> uses a mivo-make already built instead of building BASE_REV;
# MIVO_COMPARE_TEMPLATES=<folder> gives both builds the templates of that folder (for example
# the base's html/, when the new templates hold placeholders the base does not know).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
base_rev="${1:-HEAD~1}"
new_make="$(realpath "${2:-$root/build/mivo-make}")"
[[ -x "$new_make" ]] || { echo "compare_pages: build first ($new_make)" >&2; exit 2; }
command -v convert >/dev/null || { echo "compare_pages: ImageMagick's convert is needed" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-compare.XXXXXX")"
cleanup() {
  git -C "$root" worktree remove --force "$work/base" >/dev/null 2>&1 || true
  [[ "${MIVO_COMPARE_KEEP:-}" == 1 ]] || rm -rf "$work"
}
trap cleanup EXIT

if [[ -n "${MIVO_COMPARE_BASE_MAKE:-}" ]]; then
  base_make="$(realpath "$MIVO_COMPARE_BASE_MAKE")"
else
  echo "== building mivo-make at $base_rev"
  git -C "$root" worktree add --detach "$work/base" "$base_rev" >/dev/null
  cmake -S "$work/base" -B "$work/base/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMIVO_BUILD_TESTS=OFF -DMIVO_BUILD_QT=OFF >/dev/null
  cmake --build "$work/base/build" --target mivo-make >/dev/null
  base_make="$work/base/build/mivo-make"
fi

cp932() { iconv -f utf-8 -t cp932; }
crlf() { sed 's/$/\r/'; }

# Picture folders, made once and shared by both builds.
pics="$work/pics"
mkdir -p "$pics/mixed" "$pics/thumbs" "$pics/hostile" "$pics/sized" "$pics/media"
for shape in a:800x600 b:600x800 c:1200x400 d:64x64 e:3000x2000; do
  convert -seed 3 -size "${shape#*:}" plasma:fractal -quality 85 "$pics/mixed/${shape%%:*}.jpg"
done
convert -size 120x90 xc:orange "$pics/mixed/f.gif"
convert -size 90x120 xc:teal "$pics/mixed/g.bmp"
printf 'not a picture' >"$pics/mixed/broken.jpg"
# Kinds a gallery shows only with HEIC, PNG... and videos turned on: never seen otherwise.
convert -size 50x40 xc:none "$pics/mixed/h.png"
printf 'not a video' >"$pics/mixed/clip.mp4"
for name in a b c d e; do
  convert "$pics/mixed/$name.jpg" -resize 100x100 "$pics/thumbs/$name.jpg"
done
cp "$pics/mixed/f.gif" "$pics/mixed/g.bmp" "$pics/mixed/broken.jpg" "$pics/thumbs/"
{
  echo '名前,説明,場所'
  echo 'a.jpg,"海, 朝","港"'
  echo 'b.jpg,"二行の""説明""'
  echo '続き",山'
  echo 'c.jpg,<b>太字</b>,&amp;'
} | crlf | cp932 >"$pics/mixed/filelist.csv"
cp "$root"/examples/album/* "$pics/sized/"
{
  echo 'name,width,height,caption'
  echo 'harbor.jpg,320,240,港'
  echo 'sunrise.jpg,200,150,"日の出, 早朝"'
} | crlf | cp932 >"$pics/sized/filelist.csv"
for name in '<b>&"x.jpg' "it's.jpg" 'a b,c.jpg' '日本語.jpg' '#x%y?.jpg' '-dash.jpg'; do
  cp "$pics/mixed/a.jpg" "$pics/hostile/$name"
done

# HEIC, PNG and videos, shown only through their copies with the media option: a video that
# plays in a browser as it is, one that is remuxed or transcoded, and files that are not what
# their names say.
cp "$pics/mixed/a.jpg" "$pics/mixed/broken.jpg" "$pics/mixed/h.png" "$pics/mixed/clip.mp4" "$pics/media/"
convert -size 80x60 gradient:navy-gold "$pics/media/real.png"
vips copy "$pics/mixed/d.jpg" "$pics/media/photo.heic" 2>/dev/null || true
ffmpeg -v error -f lavfi -i testsrc=duration=1:size=160x120:rate=10 -pix_fmt yuv420p \
  "$pics/media/plays.mp4" </dev/null || true
ffmpeg -v error -f lavfi -i testsrc=duration=1:size=160x120:rate=10 -c:v mpeg4 \
  "$pics/media/old.avi" </dev/null || true

# A list template with two table blocks, for the gallery that asks for it.
two_blocks="$work/two-blocks"
mkdir -p "$two_blocks"
templates="$(realpath "${MIVO_COMPARE_TEMPLATES:-$root/html}")"
cp "$templates"/* "$two_blocks/"
awk '{print} /MV_TABLE_END/ && !done {print "<hr>"; print "MV_TABLE_START"; print "<p>MV_IMG_SRC MV_IMG_NAME</p>"; print "MV_TABLE_END"; done=1}' \
  "$templates/list.html" >"$two_blocks/list.html"

# name|template folder|INI lines (\n between)|Mivo.csv rows (\n between)
galleries=(
  "single-defaults|$templates|Mode=1\nPic=$pics/mixed\nTUse=0"
  "single-thumbs-filelist|$templates|Mode=1\nPic=$pics/mixed\nThum=$pics/thumbs\nTUse=1\nUse=1"
  "single-subfolder-index|$templates|Mode=1\nPic=$pics/sized\nHtml=pages\nTUse=0\nStart=1\nStartName=tower.jpg\nUse=1\nWidth=2\nHeight=3\nSlide=0\nLWidth=0"
  "single-reduced|$templates|Mode=1\nPic=$pics/mixed\nReduce=1\nTUse=0"
  "single-hostile|$templates|Mode=1\nPic=$pics/hostile\nTUse=0\nTitle=<T&\"itle>\nTitleS=副'題\nBody=<body class=\"x\">"
  "single-two-blocks|$two_blocks|Mode=1\nPic=$pics/mixed\nTUse=0\nExif=0"
  "menu|$templates|Mode=0\nMenuH=galleries\nReduce=1\nTUse=0|アルバム,$pics/sized,\n混在,$pics/mixed,$pics/thumbs\n<危険>,$pics/hostile,"
  "single-links-exif|$templates|Mode=1\nPic=$pics/sized\nTUse=0\nExif=1\nStart=0\nStartName=HARBOR.JPG\nName1=<i>戻る</i>\nUrl1=../top.html?a=1&b=2\nName2=次\nUrl2=next.html\nName3=三\nUrl3=#x\nLWidth=3\nTWidth=120\nTHeight=90"
  "single-media|$templates|Mode=1\nPic=$pics/media\nReduce=1\nMedia=1\nTUse=0\nExif=1"
  "menu-media|$templates|Mode=0\nReduce=1\nMedia=1\nTUse=0|動画,$pics/media,\n混在,$pics/mixed,"
  "single-reduced-hostile|$templates|Mode=1\nPic=$pics/hostile\nReduce=1\nTUse=0\nSlide=0"
  "sample-single|$templates|Mode=1\nPic=$root/examples/album\nThum=$root/examples/thumbnails\nStartName=sunrise.jpg\nTitle=サンプルアルバム\nTitleS=表紙の写真\nTUse=1\nUse=1\nWidth=2\nHeight=3"
  "sample-menu|$templates|Mode=0\nTitle=サンプルアルバム\nUse=1\nWidth=2\nHeight=3|アルバム,$root/examples/album,$root/examples/thumbnails\n旅行,$root/examples/trip,\n庭,$root/examples/garden,"
  "menu-two-blocks-filelist|$two_blocks|Mode=0\nUse=1\nTUse=0|アルバム,$pics/sized,\n混在,$pics/mixed,$pics/thumbs\n<危険>,$pics/hostile,"
)

# Writes the program folder of one gallery for one build.
prepare() { # folder make templates ini-lines csv-rows out
  local prog="$1" make="$2" templates="$3" lines="$4" rows="$5" out="$6"
  mkdir -p "$prog/html" "$out"
  cp "$make" "$prog/mivo-make"
  cp "$templates"/*.html "$prog/html/"
  local log="[Log]\nLevel=1\n" ini="[Ini]\n" path="[Path]\nIndex=$out/index.html\nMenu=$out/menu.html\n"
  local html="[Html]\n" filelist="[Filelist]\n" link="[Link]\n"
  local line key
  while IFS= read -r line; do
    [[ -n "$line" ]] || continue
    key="${line%%=*}"
    case "$key" in
      Mode) ini+="$line\n" ;;
      Pic | Thum | Html | MenuH) path+="$line\n" ;;
      StartName) path+="Start=${line#*=}\n" ;;
      Use | Width | Height) filelist+="$line\n" ;;
      Name[1-3] | Url[1-3]) link+="$line\n" ;;
      *) html+="$line\n" ;;
    esac
  done < <(printf '%b\n' "$lines")
  printf '%b' "$log$ini$path$html$filelist$link" | crlf | cp932 >"$prog/Mivo.ini"
  if [[ -n "$rows" ]]; then
    printf '%b\n' "$rows" | sed 's/$/,/' | crlf | cp932 >"$prog/Mivo.csv"
  fi
}

# What a run leaves to compare: the output tree (names and bytes), stdout, the exit status and
# the log without its time stamps and version line.
snapshot() { # prog out result
  local prog="$1" out="$2" result="$3"
  mkdir -p "$result"
  (cd "$out" && find . -type f ! -name '.mivo-copies' -print0 | sort -z | xargs -0 -r sha256sum) >"$result/files"
  if [[ -f "$out/thumbs/.mivo-copies" ]]; then
    # Time stamps of pictures differ between the two copies of the folder: keep the rest. A
    # line stamping the copy folders' own times (it begins with a tab) differs on every
    # machine and is left out.
    grep -av $'^\t' "$out/thumbs/.mivo-copies" | cut -f1,3- | sort >"$result/record" || true
  fi
  sed -E 's#^[0-9/]+ [0-9:]+ ##; /Mivo [0-9]+\.[0-9]+/d' "$prog/Mivo.log" 2>/dev/null |
    sed "s#$prog#PROG#g" >"$result/log.all" || true
  # The copier's workers log beside the run's own thread (the ffmpeg command lines, the image
  # library's warnings): those lines are compared as a set, the rest in order.
  local workers='^\[(makeWebSizes\] ffmpeg:|libvips\])'
  grep -aEv "$workers" "$result/log.all" >"$result/log" || true
  grep -aE "$workers" "$result/log.all" | sort >"$result/log.workers" || true
  rm -f "$result/log.all"
}

differ=0
pages=0
for entry in "${galleries[@]}"; do
  IFS='|' read -r name templates lines rows <<<"$entry"
  for side in base new; do
    make="$base_make"
    [[ "$side" == new ]] && make="$new_make"
    # The same absolute paths on both sides, so the pages may match byte for byte.
    rm -rf "$work/run"
    prepare "$work/run/prog" "$make" "$templates" "$lines" "$rows" "$work/run/out"
    set +e
    (cd "$work/run" && ./prog/mivo-make >"$work/run/stdout" 2>"$work/run/stderr")
    echo "exit $?" >"$work/run/status"
    # A second run with nothing changed must say the same again.
    (cd "$work/run" && ./prog/mivo-make >>"$work/run/stdout" 2>>"$work/run/stderr")
    echo "exit $?" >>"$work/run/status"
    set -e
    snapshot "$work/run/prog" "$work/run/out" "$work/$side-$name"
    cp "$work/run/stdout" "$work/run/stderr" "$work/run/status" "$work/$side-$name/"
    if [[ "$side" == new ]]; then
      pages=$((pages + $(grep -c '\.html$' "$work/new-$name/files" || true)))
    fi
  done
  if diff -r "$work/base-$name" "$work/new-$name" >"$work/diff-$name"; then
    echo "same:    $name ($(wc -l <"$work/new-$name/files") files, $(cat "$work/new-$name/status" | tr '\n' ' '))"
  else
    echo "DIFFERS: $name"
    head -40 "$work/diff-$name"
    differ=1
  fi
done
echo "compared ${#galleries[@]} galleries, $pages pages, against $base_rev"
exit "$differ"
