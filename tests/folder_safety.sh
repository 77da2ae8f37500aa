#!/usr/bin/env bash
# The working folder is safe and no lost write goes unsaid:
# - a link or FIFO planted at an own file name is refused, its target untouched;
# - a second Minimize in the same folder refuses to start and names the holder;
#   a lock file left by a killed run does not block a resume;
# - an answer longer than the exchange reader's limit ends the run, journal kept;
# - a transcript written to a full device ends with status 1;
# - (as root) a journal whose file system fills stops the run at once;
# - (outside the sanitizers) memory that runs out names the command.
set -u
dorve=$1
cases=$2
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${mounted:-}" ] && umount "$mounted" 2>/dev/null' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $1"; [ -f out.txt ] && sed 's/^/  | /' out.txt | tail -n 15; failed=1; }

fresh() {  # fresh folder name: the inputs of a Branin Minimize
  rm -rf "$1" && mkdir "$1"
  cp "$cases"/minimize_branin_shell/{design.mat,branin.mat,xdescription.mat,objective.sh} "$1"/
  printf 'X < design.mat\ny < branin.mat\nXDescription < xdescription.mat\n' > "$1/run.cmd"
  printf 'ObjectiveFunction = ./objective.sh\nMaxEvaluations = %s\nMinimize\nQuit\n' "${2:-1}" \
    >> "$1/run.cmd"
}

# A link at dorve.temp, at a slot file and at the journal: refused, targets kept.
for name in dorve.temp dorve.temp.2 dorve_journal_y.mat; do
  fresh link && cd link || exit 1
  printf 'PRECIOUS\n' > victim.txt
  ln -s "$PWD/victim.txt" "$name"
  [ "$name" = dorve.temp.2 ] && sed -i 's/^Minimize/ParallelEvaluations = 2\nMinimize/' run.cmd
  "$dorve" run.cmd out.txt
  grep -q "Sorry, $name is a symbolic link, not a regular file" out.txt || fail "link at $name"
  [ "$(cat victim.txt)" = PRECIOUS ] || fail "the link at $name was written through"
  cd ..
done

# A FIFO at dorve.temp: refused at once, nothing waits on it.
fresh fifo && cd fifo && mkfifo dorve.temp
timeout 20 "$dorve" run.cmd out.txt
[ $? = 0 ] && grep -q 'Sorry, dorve.temp is a FIFO' out.txt || fail "FIFO at dorve.temp"
cd ..

# Two runs in one folder: the second refuses and names the first.
fresh two 2 && cd two || exit 1
cat > objective.sh <<'SCRIPT'
#!/bin/sh
touch started; sleep 1
awk '{ printf " %.10g", ($2 - 1) * ($2 - 1) + ($3 - 2) * ($3 - 2) }' "$1" >> "$1"
SCRIPT
"$dorve" run.cmd first.txt &
first=$!
tries=0
until [ -e started ] || [ $tries -ge 300 ]; do sleep 0.1; tries=$((tries + 1)); done
"$dorve" run.cmd out.txt
grep -q "Sorry, another DORVE run uses this folder's exchange files and journal (process $first on" \
  out.txt || fail "second run in one folder"
wait $first
grep -q 'Minimize stops: 2 objective evaluations made' first.txt || fail "first run disturbed"
# The lock file stays behind; it holds no lock, so a resume starts.
[ -f dorve.lock ] || fail "no lock file"
printf 'X < dorve_journal_x.mat\ny < dorve_journal_y.mat\nXDescription < xdescription.mat\n' > resume.cmd
printf 'ObjectiveFunction = ./objective.sh\nMaxEvaluations = 1\nMinimize\nQuit\n' >> resume.cmd
"$dorve" resume.cmd out.txt
grep -q 'Minimize stops: 1 objective evaluation made' out.txt || fail "resume after a run"
cd ..

# An answer of 300 digits is refused, not read as its first 127.
fresh long && cd long || exit 1
printf '#!/bin/sh\nprintf " %%s" "1%0300d" >> "$1"\n' 0 > objective.sh
"$dorve" run.cmd out.txt 2> err.txt
[ $? = 1 ] && grep -q 'longer than 127 characters' err.txt || fail "overlong answer"
cd ..

# A transcript that cannot be written ends with status 1 and says so.
fresh full && cd full || exit 1
"$dorve" run.cmd /dev/full 2> err.txt
[ $? = 1 ] && grep -q 'the transcript could not be written whole to /dev/full' err.txt ||
  fail "transcript to /dev/full"
cd ..

# The journal's file system fills: the run stops at that evaluation.
if [ "$(id -u)" = 0 ] && mkdir small && mount -t tmpfs -o size=256k tmpfs small 2>/dev/null; then
  mounted=$PWD/small
  fresh small/run 8 && cd small/run || exit 1
  cat >> objective.sh <<'SCRIPT'
n=$(( $(cat count 2>/dev/null || echo 0) + 1 )); echo $n > count
[ $n -eq 3 ] && dd if=/dev/zero of=filler bs=4k 2>/dev/null
exit 0
SCRIPT
  "$dorve" run.cmd "$work/small.out" 2> "$work/small.err"  # outside the full file system
  status=$?
  rows=$(awk '/^-+$/ { dashes++; next } dashes >= 2 && NF { n++ } END { print n }' \
    dorve_journal_y.mat)
  [ $status = 1 ] && grep -q 'Minimize stops: the journal file' "$work/small.err" &&
    [ "$rows" = 26 ] ||
    fail "full journal file system: status $status, $rows journal rows"
  cd ../..
  umount "$mounted" && mounted=
fi

# Memory that runs out: the command and the size are named (ASan reserves
# more address space than any such limit allows).
if [ -z "${ASAN_OPTIONS:-}" ]; then
  awk 'BEGIN { srand(3); print "--"; print "a b c"; print "--"
               for (i = 0; i < 3000; i++) printf "%f %f %f\n", rand(), rand(), rand() }' > X3000.mat
  awk 'BEGIN { srand(4); print "--"; print "y"; print "--"
               for (i = 0; i < 3000; i++) printf "%f\n", rand() }' > y3000.mat
  printf 'X < X3000.mat\ny < y3000.mat\nTries = 1\nMleMethod = gradient\nFit\nQuit\n' > big.cmd
  (ulimit -v 150000; "$dorve" big.cmd /dev/null 2> err.txt)
  [ $? = 1 ] && grep -q '^Fit: not enough memory: an allocation of .* failed.' err.txt ||
    fail "memory that runs out: $(cat err.txt)"
fi
exit $failed
