#!/usr/bin/env bash
# Packs transcript cases into session_fuzz inputs: the command file, then each
# input file after a "%%% name" line. Paths are reduced to plain names, since
# the harness keeps every file in its scratch folder.
# Usage: pack_transcript.sh OUT_DIR CASE_DIR...
set -eu
out=$1
shift
mkdir -p "$out"
for case_dir in "$@"; do
  [ -f "$case_dir/commands" ] || continue
  name=$(basename "$case_dir")
  {
    sed 's#\./##g' "$case_dir/commands"
    for f in "$case_dir"/*; do
      base=$(basename "$f")
      case $base in
        commands | args | stdin | expected.* | *.sh) continue ;;
      esac
      [ -f "$f" ] || continue
      printf '%%%%%% %s\n' "$base"
      cat "$f"
    done
  } > "$out/$name"
done
