#!/usr/bin/env bash
# Runs one transcript case and compares everything the run produces.
#
# A case folder holds:
#   commands          the command file (passed as the first argument by default)
#   args              optional: the arguments to give dorve, one line (empty line: none)
#   stdin             optional: what standard input delivers (default: nothing)
#   expected.out      what standard output must hold exactly
#   expected.err      optional: what standard error must hold (default: nothing)
#   expected.status   optional: the exit status (default: 0)
#   expected.files/   optional: files the run must leave in its folder, byte for byte
# Every other file in the folder is copied beside the command file as input.
set -u
dorve=$1
case_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -R "$case_dir"/. "$work"/
rm -rf "$work/expected.files" "$work/expected.out" "$work/expected.err" "$work/expected.status"
cd "$work" || exit 1

if [ -f "$case_dir/args" ]; then
  read -r -a argv < "$case_dir/args" || true
else
  argv=(commands)
fi
if [ -f "$case_dir/stdin" ]; then input="$case_dir/stdin"; else input=/dev/null; fi

"$dorve" "${argv[@]}" < "$input" > "$work/.actual.out" 2> "$work/.actual.err"
status=$?

failed=0
compare() { # expected-file actual-file label
  local expected=$1 actual=$2 label=$3
  if [ -f "$expected" ]; then
    if ! cmp -s "$expected" "$actual"; then
      echo "--- $label differs (expected vs actual):"
      diff -u --label expected --label actual "$expected" "$actual" | cat -A | head -n 80
      failed=1
    fi
  elif [ -s "$actual" ]; then
    echo "--- $label: expected nothing, got:"
    cat -A "$actual" | head -n 40
    failed=1
  fi
}
compare "$case_dir/expected.out" "$work/.actual.out" "standard output"
compare "$case_dir/expected.err" "$work/.actual.err" "standard error"

want_status=0
[ -f "$case_dir/expected.status" ] && want_status=$(tr -d ' \n' < "$case_dir/expected.status")
if [ "$status" != "$want_status" ]; then
  echo "--- exit status: expected $want_status, got $status"
  failed=1
fi

if [ -d "$case_dir/expected.files" ]; then
  for f in "$case_dir"/expected.files/*; do
    name=$(basename "$f")
    if [ ! -f "$work/$name" ]; then
      echo "--- file $name was not written"
      failed=1
    else
      compare "$f" "$work/$name" "file $name"
    fi
  done
fi
exit $failed
