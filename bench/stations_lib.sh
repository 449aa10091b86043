# What the stations' benchmarks share; sourced, not run. Needs $build and $work.
#   start_devices N [VDEV OPTIONS]   N virtual devices at $work/p1..pN at emulated
#                                    9600 baud; sets the array ports (--port PATH ...)
#   run LABEL ARGS...                one fwflash-cli run: prints "wall cpu" in seconds;
#                                    fails unless it exits 0
#   median                           the median of the numbers on standard input
#   run_pairs PAIRS AIM A_NAME A_ARGS B_NAME B_ARGS
#                                    runs A then B, PAIRS times (A_ARGS and B_ARGS name
#                                    arrays of options); prints each pair, the medians
#                                    and the median of B/A pair by pair against AIM
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

start_devices() {
  local count=$1 i; shift
  ports=()
  for i in $(seq "$count"); do
    "$build/fwflash-vdev" --link "$work/p$i" --baud-emulation --quiet "$@" >/dev/null &
    pids+=($!)
    ports+=(--port "$work/p$i")
  done
  for i in $(seq "$count"); do
    for _ in $(seq 100); do [ -e "$work/p$i" ] && break; sleep 0.05; done
  done
}

run() {
  local label=$1; shift
  local TIMEFORMAT='%R %U %S' times
  times=$( { time "$build/fwflash-cli" "$@" >"$work/$label.out" 2>&1; } 2>&1 ) ||
    { cat "$work/$label.out" >&2; echo "$(basename "$0"): $label failed" >&2; exit 1; }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_pairs() {
  local pairs=$1 aim=$2 a_name=$3 b_name=$5 pair a b
  local -n a_args=$4 b_args=$6
  echo "pair  $a_name: wall s  cpu s    $b_name: wall s  cpu s"
  : >"$work/a"; : >"$work/b"
  for pair in $(seq "$pairs"); do
    a=$(run a "${a_args[@]}")
    b=$(run b "${b_args[@]}")
    echo "$a" >>"$work/a"; echo "$b" >>"$work/b"
    printf '%4d  %*s %6s    %*s %6s\n' "$pair" $((${#a_name} + 8)) $a $((${#b_name} + 8)) $b
  done
  paste -d' ' "$work/a" "$work/b" | awk '{ print $3 / $1 }' >"$work/ratios"
  awk -v a="$(cut -d' ' -f1 "$work/a" | median)" -v b="$(cut -d' ' -f1 "$work/b" | median)" \
      -v ac="$(cut -d' ' -f2 "$work/a" | median)" -v bc="$(cut -d' ' -f2 "$work/b" | median)" \
      -v q="$(median <"$work/ratios")" -v n="$stations" -v an="$a_name" -v bn="$b_name" \
      -v aim="$aim" 'BEGIN {
    printf "median wall: %s %.3f s, %s %.3f s; ratio pair by pair %.3f (aim: at most %s)\n", an, a, bn, b, q, aim
    printf "median CPU: %s %.3f s, %s %.3f s, for %d devices\n", an, ac, bn, bc, n
  }'
}
