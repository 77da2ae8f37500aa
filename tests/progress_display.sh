#!/usr/bin/env bash
# The progress line: under a pseudo-terminal (script from util-linux) each
# long command shows its line on standard error, rewritten in place and taken
# away when the command ends, while the transcript in the output file is the
# same as in a run whose standard error is a file, where no line is shown.
# --quiet keeps the terminal free of it; --progress draws it into a file.
# And the output file shows a fit has begun while it runs.
set -u
dorve=$1
cases=$2
command -v script >/dev/null || { echo "script (util-linux) is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$cases"/design_forms/xdescription.mat "$cases"/evaluate_forms/branin.sh .
cat > slow.sh <<'SCRIPT'
#!/bin/sh
sleep 0.1
exec ./branin.sh "$1"
SCRIPT
chmod +x slow.sh branin.sh
cat > study.cmd <<'CMD'
Design 6 < xdescription.mat > X
ObjectiveFunction = ./slow.sh
Evaluate
Fit
CrossValidate > cv.mat
MinimizeStage 2 > stage.mat
MaxEvaluations = 2
Minimize
Quit
CMD

fail() { echo "$1"; cat -A "${2:-/dev/null}" | head -n 40; exit 1; }
# Runs the study afresh in folder $1 with the arguments that follow.
run_in() {
  local folder=$1
  shift
  mkdir "$folder" && cp study.cmd xdescription.mat slow.sh branin.sh "$folder"/ && cd "$folder" &&
    "$@"
  cd "$work" || exit 1
}

run_in tty script -qc "$dorve study.cmd out.txt" /dev/null > tty.txt
run_in plain sh -c "$dorve study.cmd out.txt 2> err.txt"
run_in quiet script -qc "$dorve --quiet study.cmd out.txt" /dev/null > quiet.txt
run_in forced sh -c "$dorve --progress study.cmd out.txt 2> err.txt"

for line in 'Evaluate: evaluation 1/6' 'Evaluate: evaluation 6/6' 'Fit y: try 1/3' \
            'CrossValidate y: point 1/6' 'MinimizeStage: point 1/2' 'Minimize: evaluation 1/2'; do
  grep -qF $'\r'"$line" tty.txt || fail "the terminal did not show '$line'" tty.txt
done
# Every line drawn ends by clearing the rest of the old one, and the last
# thing on the terminal is the line taken away.
[ "$(tail -c 4 tty.txt | od -An -c | tr -d ' ')" = '\r033[K' ] ||
  fail "the progress line was not taken away at the end" tty.txt
[ ! -s plain/err.txt ] || fail "a progress line went to standard error that is a file" plain/err.txt
[ ! -s quiet.txt ] || fail "--quiet still showed a progress line" quiet.txt
grep -qF 'Evaluate: evaluation 1/6' forced/err.txt || fail "--progress drew no line" forced/err.txt
for run in tty quiet forced; do
  cmp -s plain/out.txt "$run/out.txt" || fail "the transcript of the $run run differs" "$run/out.txt"
done
! grep -q $'\r' tty/out.txt || fail "the transcript holds a carriage return" tty/out.txt

# A fit of 150 runs in five inputs takes seconds: "Fitting y ..." is in the
# output file before its first result is.
mkdir long && cd long || exit 1
cp ../branin.sh .
printf -- '-----------------------\n Case Variable Min Max\n-----------------------\n' > box.mat
for j in 1 2 3 4 5; do printf '%d x%d 0 1\n' $j $j >> box.mat; done
printf 'Design 150 < box.mat > X\nObjectiveFunction = ./branin.sh\nParallelEvaluations = 10\n' > fit.cmd
printf 'Evaluate\nThreads = 1\nFit\nQuit\n' >> fit.cmd
"$dorve" fit.cmd out.txt 2> /dev/null &
pid=$!
for _ in $(seq 200); do grep -q '^Fitting y' out.txt && break; sleep 0.05; done
early=$(cat out.txt)
kill "$pid" 2> /dev/null
wait "$pid" 2> /dev/null
grep -q '^Fitting y' <<< "$early" || fail "the output file did not show the fit beginning" out.txt
! grep -q '^LogLikelihood' <<< "$early" ||
  fail "the fit ended before its beginning could be seen (a faster machine?)" out.txt
exit 0
