#!/bin/bash
# tavlo-cli run: a script file whose include files lie beside it, found from any folder.
set -u
cli="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/scripts" "$dir/elsewhere"
printf 'sq= dup * ;\r\n$$more;' > "$dir/scripts/lib.qel"
printf '(* more words *) cube= dup sq * ;' > "$dir/scripts/more.qel"
printf '$$lib;\r\n3 cube %%n +' > "$dir/scripts/main.qel"
cd "$dir/elsewhere"
actual=$("$cli" run ../scripts/main.qel --param n=0.5)
if [ "$actual" != "27.5" ]; then
  echo "FAIL: run -> '$actual', expected 27.5"
  exit 1
fi
# eval looks for includes in the current folder.
cd "$dir/scripts"
actual=$("$cli" eval '$$lib; 4 sq')
if [ "$actual" != "16" ]; then
  echo "FAIL: eval with include -> '$actual', expected 16"
  exit 1
fi
