#!/usr/bin/env bash
# The help as built and as installed: record.chm beside the program and the same pages as
# UTF-8 HTML in help/ beside it, every page and every link there, and the CHM holding the
# pages under the names the links use.
#   help-install.sh BUILD_DIR SOURCE_HELP_DIR
set -uo pipefail
build=$1 sources=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$(mktemp -d "${TMPDIR:-/tmp}/wsx-help.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
program_dir=$(dirname "$(readlink -f "$prefix/bin/wanshengxia")")
[ -x "$program_dir/wanshengxia" ] || fail "no program behind $prefix/bin/wanshengxia"

pages=$(cd "$sources" && ls ./*.html | sed 's|^\./||')
[ -n "$pages" ] || fail "no pages in $sources"
for folder in "$build" "$program_dir"; do
  [ -s "$folder/record.chm" ] || fail "$folder/record.chm is missing"
  for page in $pages style.css; do
    [ -f "$folder/help/$page" ] || fail "$folder/help/$page is missing"
  done
done

html=$program_dir/help
for page in $pages; do
  iconv -f UTF-8 -t UTF-8 "$html/$page" >/dev/null 2>&1 || fail "$page is not UTF-8"
  grep -q 'charset=utf-8' "$html/$page" || fail "$page does not declare UTF-8"
  # Every local link leads to a page of the folder.
  for target in $(grep -o 'href="[^"#:]*' "$html/$page" | sed 's/^href="//'); do
    [ -f "$html/$target" ] || fail "$page links to $target, which is not in the folder"
  done
  # The CHM's directory names its pages uncompressed ("/index.html").
  grep -aq "/$page" "$program_dir/record.chm" || fail "record.chm does not hold $page"
done
# The contents and the index point at pages that exist.
for target in $(grep -oh 'name="Local" value="[^"]*' "$sources"/*.hhc "$sources"/*.hhk | sed 's/.*value="//' | sort -u); do
  [ -f "$html/$target" ] || fail "the contents or index name $target, which is not a page"
done
echo "help: $(echo "$pages" | wc -l) pages in $html and record.chm"
