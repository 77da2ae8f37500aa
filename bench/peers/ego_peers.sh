#!/usr/bin/env bash
# DORVE's Minimize against the expected-improvement loops of OpenTURNS and
# scikit-learn, from the same start designs: Branin, Goldstein-Price,
# Hartmann-3 and -6, the borehole (d = 8), the wing weight (d = 10) and the
# Trid function (d = 15), 3 seeds. Prints one markdown table (also kept in
# <out>/ego_table.md): evaluations to within 1% of the minimum, for d >= 8
# the gap left after 40 added evaluations, CPU seconds per run and the runs
# that stopped before their budget. A manual tool: the whole benchmark takes
# hours of CPU; results are kept under <out>/ego/ and a rerun only redoes
# what is missing, what the binary's change makes stale (DORVE's runs are
# keyed by its checksum) or what --force asks for.
#
#   bench/peers/ego_peers.sh [--dorve build/dorve] [--out build-bench/peers]
#       [--functions branin,goldstein_price,hartmann3,hartmann6,borehole,wing_weight,trid15]
#       [--seeds 1,2,3]
#       [--methods dorve-default,dorve-mle,dorve-gradient,openturns,sklearn]
#       [--option 'Threads = 1']... [--force] [--smoke]
#
# --methods says what runs; the table shows every method with a result that
# still holds (--methods '' only rewrites the table). The column of
# CriterionOptimMethod = gradient reads "n/a" when the binary's Info does not
# list that value. Each --option line goes into every DORVE session before
# Minimize (default: Threads = 1, which leaves the results as they are).
# --smoke runs Branin, seed 1, 5 added evaluations, in <out>/ego_smoke/, to
# check the harness in about a minute.
# Peers: apt-get install python3-openturns python3-sklearn python3-scipy
# (Debian's python3, $PYTHON, default /usr/bin/python3); their BLAS runs on
# one thread unless OPENBLAS_NUM_THREADS / OMP_NUM_THREADS say otherwise.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
PYTHON=${PYTHON:-/usr/bin/python3}
export PYTHON OPENBLAS_NUM_THREADS=${OPENBLAS_NUM_THREADS:-1} OMP_NUM_THREADS=${OMP_NUM_THREADS:-1}
export PYTHONDONTWRITEBYTECODE=1
"$PYTHON" -c 'import numpy, scipy' || { echo "ego_peers.sh: $PYTHON needs numpy and scipy" >&2
                                        exit 1; }
dorve=build/dorve
args=()
while [ $# -gt 0 ]; do
  case $1 in
    --dorve) dorve=$2; shift 2 ;;
    --out|--functions|--seeds|--methods|--option) args+=("$1" "$2"); shift 2 ;;
    --force|--smoke) args+=("$1"); shift ;;
    *) echo "ego_peers.sh: unknown argument '$1' (see the head of $0)" >&2; exit 2 ;;
  esac
done
[ -x "$dorve" ] || { echo "ego_peers.sh: no DORVE binary at '$dorve' (run make)" >&2; exit 1; }
exec "$PYTHON" "$here/ego_bench.py" --dorve "$dorve" "${args[@]}"
