#!/usr/bin/env bash
# The release package is reproducible: the sources are copied into two folders of different names
# and depths, each copy makes its package with tools/package.sh, and the two brindle.exe and the
# two zips must be the same bytes. The zip must hold exactly the four files of a release; it is
# then unpacked into a fresh folder, WORK/unpacked, for the test that runs the packaged exe.
# usage: reproducible.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir="$1"; work="$2"
rm -rf "$work"
first="$work/a/brindle"; second="$work/copy-two/in/a/deeper/folder"
mkdir -p "$first" "$second"
copy() {
  if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
       xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh | tar --null -T - -cf -) | tar -xf - -C "$1"
  else
    tar -C "$source_dir" --exclude='./build*' --exclude=./dist -cf - . | tar -xf - -C "$1"
  fi
}
copy "$first"; copy "$second"

status=0
for tree in "$first" "$second"; do
  bash "$tree/tools/package.sh" "$tree/dist" >"$tree.out" 2>"$tree.log" || { cat "$tree.log" >&2; exit 1; }
  cat "$tree.out"
done
zip_a=$(ls "$first"/dist/*.zip); zip_b=$(ls "$second"/dist/*.zip)
cmp "$first/build-package/brindle.exe" "$second/build-package/brindle.exe" || { echo "brindle.exe differs" >&2; status=1; }
cmp "$zip_a" "$zip_b" || { echo "the zips differ" >&2; status=1; }

listing=$(unzip -Z1 "$zip_a" | tr '\n' ' ')
[ "$listing" = "brindle.exe README.txt history.txt LICENSE.txt " ] || { echo "zip holds: $listing" >&2; status=1; }
for name in BRINDLE_STYLE BRINDLE_EXTRA BRINDLE_X BRINDLE_Y BRINDLE_WIDTH BRINDLE_HEIGHT BRINDLE_UPDATE_URL \
            'Software\\Skelby\\Brindle' Tervo.Brindle.Properties MIT; do
  unzip -p "$zip_a" README.txt | grep -q "$name" || { echo "README.txt does not name $name" >&2; status=1; }
done

mkdir -p "$work/unpacked"
unzip -q "$zip_a" -d "$work/unpacked"
cmp "$work/unpacked/brindle.exe" "$first/build-package/brindle.exe" || status=1
# The unpacked folder is all the next test needs; the copies and their builds go.
rm -rf "$work/a" "$work/copy-two"
[ $status -eq 0 ] && echo "reproducible: $(basename "$zip_a") identical from both folders"
exit $status
