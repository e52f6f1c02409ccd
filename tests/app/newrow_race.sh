#!/usr/bin/env bash
# The new-row race with the real program under a virtual display: twenty times, append a
# record (Ctrl+Insert), click into the new row's selected cell and type "Zoë Müller NN" at
# once with `xdotool type --delay 1`, then post (Ctrl+Enter). The table is read back with
# tavlo-cli: the three records before must be unchanged and every new one whole. Screenshots
# of the first and the last new row are left in the output folder.
#
#   bash tests/app/newrow_race.sh build/app/tavlo build/cli/tavlo-cli [OUTPUT_FOLDER]
#
# Needs xvfb-run, xdotool and imagemagick. The display's keyboard gets keys of their own for
# ë and ü: without them xdotool remaps a spare key for each such letter as it types, and at
# 1 ms a key can arrive before a program has read the new map, so that the letter is lost in
# any text box of any program; that is the display's race, not the program's.
set -euo pipefail
program=$(realpath "$1")
cli=$(realpath "$2")
out=$(realpath -m "${3:-/tmp/tavlo-newrow-race}")
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ws/tables" "$work/ws/forms" "$work/ws/reports"
cp "$program" "$work/ws/tavlo"

cp -r /usr/share/X11/xkb "$work/xkb"
sed -i '0,/xkb_symbols "basic" {/s//&\n    key <I230> { [ ediaeresis, Ediaeresis ] };\n    key <I248> { [ udiaeresis, Udiaeresis ] };/' \
  "$work/xkb/symbols/us"

table="$work/ws/tables/people.dbf"
printf 'name="NAME" type="string" size="20"\r\nname="CITY" type="string" size="12"\r\n' > "$work/def.txt"
"$cli" create "$table" "$work/def.txt" > /dev/null
printf 'NAME,CITY\nAnn Ames,Oslo\nEd Ames,Rome\nZack Ames,Lima\n' > "$work/rows.csv"
"$cli" import "$table" "$work/rows.csv" > /dev/null
# The window at the top left, tall enough for every row: rows are 20 pixels, the first at 97.
printf '[TavloF]\r\nLeft=0\r\nTop=0\r\nWidth=1000\r\nHeight=880\r\n' > "$work/ws/tavlo.ini"

cat > "$work/type.sh" <<EOF
cd "$work/ws"
./tavlo tables/people.dbf & pid=\$!
sleep 4
# The focus in the grid without opening an editor: the first record's CITY, then Left to NAME.
xdotool mousemove 260 97 click 1; sleep 0.5
xdotool key Left; sleep 0.5
for i in \$(seq 0 19); do
  xdotool key ctrl+Insert; sleep 0.4
  xdotool mousemove 110 \$((97 + 20 * (3 + i))) click 1 type --delay 1 "Zoë Müller \$(printf %02d \$((i + 1)))"
  sleep 0.6
  [ \$i = 0 ] && import -window root "$out/first.png"
  [ \$i = 19 ] && import -window root "$out/last.png"
  xdotool key ctrl+Return; sleep 0.4
done
kill \$pid; wait \$pid 2> /dev/null || true
EOF
xvfb-run -a -s "-screen 0 1280x900x24 -xkbdir $work/xkb" bash "$work/type.sh" 2>&1 | grep -v XDG_RUNTIME || true

{
  printf 'NAME,CITY\r\nAnn Ames,Oslo\r\nEd Ames,Rome\r\nZack Ames,Lima\r\n'
  for i in $(seq 1 20); do printf 'Zoë Müller %02d,\r\n' "$i"; done
} > "$work/expected.csv"
"$cli" dump "$table" > "$out/dump.csv"
if cmp -s "$out/dump.csv" "$work/expected.csv"; then
  echo "newrow_race: 20 of 20 records whole, the records before unchanged"
else
  echo "newrow_race: the table differs from what was typed:" >&2
  diff "$work/expected.csv" "$out/dump.csv" >&2 || true
  exit 1
fi
