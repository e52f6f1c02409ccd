#!/bin/bash
# tavlo-cli eval reaches the library words: strings, math, dates, sets, files, HTML and
# encoding; with the headless host say prints to stdout, ask reads a line from stdin and
# the dialogs answer as cancelled.
set -u
cli="$1"
fail=0
check() {  # expected stdout, then the script; stdin comes from the caller
  local expected="$1" out
  out=$("$cli" eval "$2")
  if [ $? -ne 0 ] || [ "$out" != "$expected" ]; then
    echo "FAIL: eval '$2' -> '$out', expected '$expected'"
    fail=1
  fi
}
check 'bonono' "'a' 'banana' 'o' replaceall" </dev/null
check 'a <i>x</i> and <i>yy</i>' "'a <b>x</b> and <b>yy</b>' '<b>[*0:</b>]' '<i>[0:]</i>' true regreplaceall" </dev/null
check '1024' "2 10 ^" </dev/null
check '31-Mar-2024' "2024 easter datestr" </dev/null
check 'B c a' "'a b' 'B c' set.union" </dev/null
check '<p class=x>Hello</p>' "'<P Class=X>Hello</P>' html.lcase" </dev/null
check 'YWJj' "'abc' encodeb64" </dev/null
check '33023' "'#FF8000' htmltocolor" </dev/null
check 'report.html' "'C:\\data\\report.drpt' '.html' changefileext extractfilename" </dev/null
check 'not found' "'/nonexistent/none.txt' set.load" </dev/null
# The headless host.
check $'hello\n7' "'hello' say 7" </dev/null
check 'typed answer' "'Name?' ask" <<<'typed answer'
check '' "'Name?' ask" </dev/null
check '' "dlgopen" </dev/null
check '' "dlgcolor" </dev/null
check '' "dlgsave" </dev/null
# Errors of the words reach stderr with exit code 1.
err=$("$cli" eval "'YWJ' decodeb64" 2>&1 >/dev/null)
if [ $? -ne 1 ] || [ "$err" != "tavlo-cli: Base64: Incorrect string format" ]; then
  echo "FAIL: decodeb64 error -> '$err'"
  fail=1
fi
exit $fail
