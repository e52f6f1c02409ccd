#!/bin/bash
# tavlo-cli run: script files and their includes with LF, CR or CR LF line ends read as lines.
set -u
cli="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
check() {  # name expected actual
  if [ "$3" != "$2" ]; then
    echo "FAIL: $1 -> '$3', expected '$2'"
    fail=1
  fi
}
printf '1 2 +\n3 *\n' > "$dir/lf.qel"
check "LF lines" 9 "$("$cli" run "$dir/lf.qel" 2>&1)"
printf '1 2 +\r3 *' > "$dir/cr.qel"
check "CR lines" 9 "$("$cli" run "$dir/cr.qel" 2>&1)"
printf '1 2 +\r\n3 *\r\n' > "$dir/crlf.qel"
check "CR LF lines" 9 "$("$cli" run "$dir/crlf.qel" 2>&1)"
# A string literal across a line break holds a space, whatever the break was.
printf "' ' 'a\nb' 'x' replace" > "$dir/str.qel"
check "string over LF" axb "$("$cli" run "$dir/str.qel" 2>&1)"
printf 'sq= dup *\n;\nten= 10\r;' > "$dir/lib.qel"
printf '$$lib;\n3 sq\nten +\n' > "$dir/main.qel"
check "include with LF and CR" 19 "$("$cli" run "$dir/main.qel" 2>&1)"
exit $fail
