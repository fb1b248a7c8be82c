# Sourced by the scripts that wait on the simulator or a program.
# wait_for SECONDS COMMAND...: retries COMMAND every 0.2 s until it succeeds.
wait_for() {
  local tries=$(($1 * 5))
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
