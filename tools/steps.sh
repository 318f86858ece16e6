# Named, timed steps for the project's scripts (sourced, not run).
#   step "<name>"   ends the step before it and starts this one
#   steps_summary   ends the last step and prints the time of each
# A command that fails ends the script with one line naming the step, the
# command and its exit code, so a red run is never silent.
hbx_step_name=""
hbx_step_start=$SECONDS
hbx_script_start=$SECONDS
hbx_step_times=()
hbx_failed=0

hbx_step_end() {
  [ -n "$hbx_step_name" ] || return 0
  local took=$((SECONDS - hbx_step_start))
  hbx_step_times+=("$(printf '%6d s  %s' "$took" "$hbx_step_name")")
  echo "-- $hbx_step_name: $took s"
  hbx_step_name=""
}

step() {
  hbx_step_end
  hbx_step_name=$1
  hbx_step_start=$SECONDS
  echo "== $1"
}

steps_summary() {
  hbx_step_end
  echo "== time of each step"
  printf '%s\n' "${hbx_step_times[@]}"
  printf '%6d s  in all\n' "$((SECONDS - hbx_script_start))"
}

hbx_on_error() {
  local status=$? command=$BASH_COMMAND
  # With errtrace the trap also fires in each function the failure leaves.
  [ "$hbx_failed" -eq 0 ] || return 0
  hbx_failed=1
  echo "FAILED: step \"${hbx_step_name:-before the first step}\": \`$command\` exited with status $status" >&2
}

set -Eeuo pipefail
trap hbx_on_error ERR
