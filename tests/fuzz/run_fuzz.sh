#!/usr/bin/env bash
# Runs every fuzz target for a fixed time, one after the other, each from its
# seed corpus in tests/fuzz/corpus/<target>. New units go to a scratch corpus
# in the build folder (never into the repository); a crash, a sanitizer
# report, a hang or a "Code Bug" fatal leaves its input in BUILD/findings and
# ends the script with a failure.
# Usage: run_fuzz.sh BUILD_DIR SECONDS [TARGET...]
set -u
build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(tokenizer matrix session)
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/findings"

status=0
for t in "${targets[@]}"; do
  scratch="$build/corpus/$t"
  mkdir -p "$scratch"
  # A session with Minimize takes seconds on a loaded machine: only an input
  # that runs for minutes is a hang.
  options=(-max_total_time="$seconds" -timeout=120 -rss_limit_mb=3072 -print_final_stats=1
           -artifact_prefix="$build/findings/$t-" -dict="$here/dorve.dict")
  env=(UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
  case $t in
    tokenizer) options+=(-max_len=1024) ;;
    # These two run whole sessions: a fatal error abandons the model store in
    # the middle of a command, so its memory leaks by design.
    matrix) options+=(-max_len=2048 -detect_leaks=0); env+=(ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=32) ;;
    session) options+=(-max_len=4096 -detect_leaks=0); env+=(ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=32) ;;
  esac
  echo "== ${t}_fuzz for ${seconds} s"
  if env "${env[@]}" "$build/tests/fuzz/${t}_fuzz" "${options[@]}" "$scratch" \
      "$here/corpus/$t" > "$build/$t.log" 2>&1; then
    grep -E "DONE|^stat::number_of_executed_units|^Done" "$build/$t.log"
  else
    status=1
    echo "${t}_fuzz FAILED; log: $build/$t.log"
    grep -E "ERROR|SUMMARY|DORVE fatal|Test unit written" "$build/$t.log" | head -n 20
  fi
done
exit $status
