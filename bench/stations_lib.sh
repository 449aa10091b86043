# What the stations' benchmarks share; sourced, not run. Needs $build and $work.
#   start_devices N [VDEV OPTIONS]   N virtual devices at $work/p1..pN at emulated
#                                    9600 baud; sets the array ports (--port PATH ...)
#   run LABEL ARGS...                one fwflash-cli run: prints "wall cpu" in seconds;
#                                    fails unless it exits 0
#   median                           the median of the numbers on standard input
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
