# What the Windows scenarios that run fwflash-cli.exe against virtual devices share.
# Sourced after the script has set: build (the Linux build with fwflash-vdev), exe
# (fwflash-cli.exe), ports (COM name -> its mapped path), work (the scenario's folder).
declare -A device_pids=()
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }  # Wine's Z: is /
fail() { echo "FAIL: $*"; exit 1; }
# fwflash-cli.exe's output and errors, without the console's CRs. Through a file: programs
# that Wine starts in the background would keep a pipe open.
cli() {
  local status=0
  wineserver -p 5 </dev/null >/dev/null 2>&1 || true  # a server of its own output, when none runs
  timeout 120 wine "$exe" "$@" >"$work/cli.out" 2>&1 || status=$?
  tr -d '\r' <"$work/cli.out"
  return $status
}
# A port names the virtual device's link while one runs, else an empty directory: for a
# port whose path names nothing Wine would open the machine's /dev/ttyS0.
start_device() {  # start_device NAME: a device that saves each conversation's data bytes
  local name=$1 port=${ports[$1]}
  rmdir "$port"
  "$build/fwflash-vdev" --link "$port" --size 600 --data "$work/$name" --report "$work/$name.report" \
    --quiet --timeout 120 >/dev/null &
  device_pids[$name]=$!
  for _ in $(seq 200); do [ -L "$port" ] && return 0; sleep 0.05; done
  fail "the virtual device at $port did not start"
}
# The prefix's programs end first: the server holds the ports' terminals, and a terminal
# that goes away while it holds it hangs it up.
stop_devices() {
  local name
  wineserver -k 2>/dev/null || true  # none may run: it ends 5 s after its last program
  wineserver -w
  for name in "${!device_pids[@]}"; do
    kill "${device_pids[$name]}" 2>/dev/null || true
    wait "${device_pids[$name]}" 2>/dev/null || true
    rm -rf "${ports[$name]}"; mkdir "${ports[$name]}"
  done
  device_pids=()
}
# Waits until device NAME's report says its N-th conversation ended.
wait_for_conversation() {  # NAME N
  for _ in $(seq 400); do
    grep -qx "complete_conversations=$2" "$work/$1.report" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "$1 did not report conversation $2 complete"
}
