#!/usr/bin/env bash
# doc_html.sh IN.md OUT.html [LANGUAGE]: one of the documents as the page the Windows
# package carries, for a user who opens it from the unzipped folder in any
# browser: pictures shown from images/ beside it, tables laid out, no
# Markdown marks. What only Linux users need (between the lines
# "<!-- linux: begin -->" and "<!-- linux: end -->") is left out, and links
# between the documents name their pages; a line break inside Japanese text
# joins the lines without a space, as the reader expects. Needs pandoc
# (Debian package pandoc).
set -euo pipefail
in=$1 out=$2 language=${3:-ja}

style=$(mktemp)
trap 'rm -f "$style"' EXIT
cat >"$style" <<'CSS'
<style>
body { max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.7;
       font-family: "Yu Gothic UI", "Meiryo", "Hiragino Sans", "Noto Sans CJK JP", sans-serif; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #bbb; padding: 0.3em 0.6em; vertical-align: top; }
td img { display: block; }
pre { background: #f4f4f4; padding: 0.8em; overflow-x: auto; line-height: 1.4; }
code { font-family: "MS Gothic", "Osaka-Mono", monospace; }
</style>
CSS

sed -e '/^<!-- linux: begin -->$/,/^<!-- linux: end -->$/d' \
    -e 's/](refusals\.md)/](refusals.html)/g' -e 's/](guide\.ja\.md)/](guide-ja.html)/g' "$in" |
  pandoc --quiet -f gfm+east_asian_line_breaks -t html5 --standalone --shift-heading-level-by=-1 \
    --metadata lang="$language" --include-in-header="$style" -o "$out"
