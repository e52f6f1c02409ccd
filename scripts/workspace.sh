#!/usr/bin/env bash
# Lays out the workspace beside the executable: tables/, forms/, reports/ with the demo table,
# form and template, and the help book. Never overwrites what a user changed.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin_dir=$1
mkdir -p "$bin_dir/tables" "$bin_dir/forms" "$bin_dir/reports"
if [ -d "$ROOT/demo" ]; then
  for sub in tables forms reports; do
    [ -d "$ROOT/demo/$sub" ] || continue
    for file in "$ROOT/demo/$sub"/*; do
      [ -e "$file" ] || continue
      target="$bin_dir/$sub/$(basename "$file")"
      [ -e "$target" ] || cp "$file" "$target"
    done
  done
fi
if [ -d "$ROOT/help" ]; then
  cp -r "$ROOT/help/." "$bin_dir/"
fi
