#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree as the desktop
# sees it: exactly the files a desktop application needs, a valid desktop entry
# and AppStream file, a manual page man reads without warnings, icons of the
# sizes their folders name, MIME types the shared MIME database knows.
#   install_tree.sh BUILD_DIR APP_ID
set -uo pipefail
build=${1:?build directory}
id=${2:?application id}

for tool in desktop-file-validate appstreamcli man identify; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    [[ -n "${CI:-}" ]] && exit 1
    exit 77
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/mirvane-install.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL - $*"
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$tmp/usr" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; exit 1; }
root=$tmp/usr

# Exactly these files: a test program or a header slipping into the install shows here.
expected=(
  bin/mirvane
  "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml"
  share/man/man1/mirvane.1.gz
  share/doc/mirvane/copyright
  share/doc/mirvane/changelog.gz
  "share/icons/hicolor/scalable/apps/$id.svg"
)
for size in 16 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x$size/apps/$id.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -printf '%P\n' | sort) ||
  fail "installed files differ from the expected ones (< expected, > installed)"
[[ -x "$root/bin/mirvane" ]] || fail "bin/mirvane is not executable"

desktop=$root/share/applications/$id.desktop
out=$(desktop-file-validate "$desktop" 2>&1)
[[ $? -eq 0 && -z "$out" ]] || fail "desktop-file-validate: $out"

out=$(appstreamcli validate --no-net --explain "$root/share/metainfo/$id.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $out"
# The tree as a whole: the metainfo file's launchable names a desktop entry that is there.
out=$(appstreamcli validate-tree --no-net "$root/.." 2>&1) || fail "appstreamcli validate-tree: $out"

out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/share/man/man1/mirvane.1.gz" 2>&1 >"$tmp/man.txt")
[[ -z "$out" ]] || fail "man warns: $out"
for caption in タイマー設定 画像ループ 自動回転 前の画像 次の画像 ちょっと説明 ﾊﾞｰｼﾞｮﾝ情報 終了 \
  Mirvane.ini Loop=False Interval=2000 Rotate=False; do
  grep -qF "$caption" "$tmp/man.txt" || fail "the manual page does not show $caption"
done

for size in 16 32 48 64 128 256; do
  got=$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x$size/apps/$id.png")
  [[ "$got" == "${size}x$size" ]] || fail "the ${size}x$size icon is $got"
done
[[ "$(sed -n 's/^Icon=//p' "$desktop")" == "$id" ]] || fail "Icon= does not name the installed icon $id"

# Each MIME type known to this system's database, under its own name or as an alias;
# image/apng came after the database of Debian 12.
mime=/usr/share/mime
while read -r type; do
  [[ -z "$type" || "$type" == image/apng ]] && continue
  grep -qxF "$type" "$mime/types" || awk -v t="$type" '$1 == t { found = 1 } END { exit !found }' "$mime/aliases" ||
    fail "MIME type $type is unknown to $mime"
done < <(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n')

[[ $failures -eq 0 ]] && echo "ok - install tree" && exit 0
exit 1
