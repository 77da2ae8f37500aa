#!/usr/bin/env bash
# DORVE's Fit against the Gaussian-process fits of OpenTURNS and scikit-learn
# on the same data, in one run: writes the data sets, runs DORVE (Fit, then
# Predict on the held-out points) for every method asked for, runs each peer
# that is installed, and prints one markdown table of CPU and wall seconds,
# log-likelihood in DORVE's convention, held-out RMSE and peak memory (also
# kept in <out>/table.md). A manual tool: it takes many minutes (the n = 1600
# fits), and the simplex takes hours at n = 800 and 1600.
#
#   bench/peers/fit_peers.sh [--dorve build/dorve] [--methods simplex,gradient]
#       [--sets friedman_n50,...,borehole_n80 (see data.py; friedman_d10_n2000 too)]
#       [--option 'Tries = 1']... [--out build-bench/peers] [--seed 20261209]
#
# --methods defaults to simplex, plus gradient when the binary's Info lists
# MleMethod. DORVE runs on one thread like the peers (Threads = 1); each
# --option line goes into every DORVE session after that, before Fit.
# Peers: apt-get install python3-openturns python3-sklearn (Debian's python3,
# $PYTHON, default /usr/bin/python3). Their BLAS runs on one thread unless
# OPENBLAS_NUM_THREADS / OMP_NUM_THREADS say otherwise.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
dorve=build/dorve
methods=
sets=friedman_n50,friedman_n100,friedman_n200,friedman_n400,friedman_n800,friedman_n1600
sets=$sets,friedman_d10_n200,friedman_d20_n200,borehole_n80
out=build-bench/peers
seed=20261209
options=("Threads = 1")
while [ $# -gt 0 ]; do
  case $1 in
    --dorve) dorve=$2; shift 2 ;;
    --methods) methods=$2; shift 2 ;;
    --sets) sets=$2; shift 2 ;;
    --option) options+=("$2"); shift 2 ;;
    --out) out=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    *) echo "fit_peers.sh: unknown argument '$1' (see the head of $0)" >&2; exit 2 ;;
  esac
done

PYTHON=${PYTHON:-/usr/bin/python3}
export OPENBLAS_NUM_THREADS=${OPENBLAS_NUM_THREADS:-1} OMP_NUM_THREADS=${OMP_NUM_THREADS:-1}
export PYTHONDONTWRITEBYTECODE=1
[ -x "$dorve" ] || { echo "fit_peers.sh: no DORVE binary at '$dorve' (run make)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "fit_peers.sh: needs /usr/bin/time (apt-get install time)" >&2
                          exit 1; }
"$PYTHON" -c 'import numpy' || { echo "fit_peers.sh: $PYTHON needs numpy" >&2; exit 1; }
dorve=$(cd "$(dirname "$dorve")" && pwd)/$(basename "$dorve")
mkdir -p "$out"
out=$(cd "$out" && pwd)

printf 'Info\nQuit\n' > "$out/info.cmd"
knows_mle_method=no
# Through a file: grep -q would stop reading early, and pipefail would take
# DORVE's broken pipe for a failure.
"$dorve" "$out/info.cmd" > "$out/info.txt"
if grep -q MleMethod "$out/info.txt"; then knows_mle_method=yes; fi
if [ -z "$methods" ]; then
  methods=simplex
  if [ $knows_mle_method = yes ]; then methods=simplex,gradient; fi
fi
IFS=, read -r -a method_list <<< "$methods"
IFS=, read -r -a set_list <<< "$sets"
for method in "${method_list[@]}"; do
  if [ "$method" != simplex ] && [ $knows_mle_method = no ]; then
    echo "fit_peers.sh: $dorve has no MleMethod option, so no method '$method'" >&2; exit 1
  fi
done

peers=() missing=()
for peer in openturns sklearn; do
  if "$PYTHON" -c "import $peer" 2>/dev/null; then peers+=("$peer"); else missing+=("$peer"); fi
done

echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$PYTHON" "$here/data.py" "$out" --seed "$seed" --sets "$sets"

# One DORVE session per set and method. Each writes its fitted R, so that the
# report can recompute the log-likelihood there; the first one also writes
# what the report needs to check the numpy correlation against DORVE's.
cross_check=${set_list[0]}/dorve_${method_list[0]}
for name in "${set_list[@]}"; do
  for method in "${method_list[@]}"; do
    run=$out/$name/dorve_$method
    mkdir -p "$run"
    {
      echo "X < ../x.mat"
      echo "y < ../y.mat"
      for option in "${options[@]}"; do echo "$option"; done
      if [ "$method" != simplex ]; then echo "MleMethod = $method"; fi
      echo "Fit"
      echo "Predict < ../xtest.mat > pred.csv"
      echo "R > fit_R.csv"
      if [ "$name/dorve_$method" = "$cross_check" ]; then
        echo "StochasticProcessModel > params.mat"
        echo "StochasticProcessModel < params.mat"
        echo "Predict < ../x.mat > params_pred.csv"
        echo "R > params_R.csv"
      fi
      echo "Quit"
    } > "$run/session.cmd"
    echo "DORVE ($method) on $name ..."
    (cd "$run" && /usr/bin/time -f '%U %S %e %M' -o time.txt "$dorve" session.cmd out.txt)
    if grep -q "Cannot parse this line" "$run/out.txt"; then
      echo "fit_peers.sh: DORVE refused a line of $run/session.cmd (see out.txt)" >&2; exit 1
    fi
  done
  for peer in "${peers[@]}"; do
    echo "$peer on $name ..."
    "$PYTHON" "$here/peers.py" "$peer" "$out/$name" "$out/$name/$peer.json" \
      2> "$out/$name/$peer.log" || { cat "$out/$name/$peer.log" >&2; exit 1; }
  done
done

echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)"
peer_list=$(IFS=,; echo "${peers[*]}")
missing_list=$(IFS=,; echo "${missing[*]}")
"$PYTHON" "$here/report.py" "$out" --sets "$sets" --methods "$methods" \
  --peers "$peer_list" --missing "$missing_list" --cross-check "$cross_check" > "$out/table.md"
cat "$out/table.md"
