#!/usr/bin/env bash
# A termination request ends dorve with the signal number as its exit status,
# with everything it had written already in its output file.
set -u
dorve=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkfifo commands
# Keep the command stream open so that dorve waits for more input.
exec 3<>commands
printf 'Tries = 4\n' >&3
"$dorve" commands out.txt &
pid=$!
# Give dorve time to handle the line before the signal arrives.
sleep 0.5
kill -TERM "$pid"
wait "$pid"
status=$?
exec 3>&-
if [ "$status" != 15 ]; then
  echo "exit status: expected 15, got $status"
  exit 1
fi
if ! grep -q "^Tries = 4$" out.txt; then
  echo "output written before the signal was not flushed:"
  cat out.txt
  exit 1
fi
