# Sourced by the scripts: names the step under way, so that a failing command says where it
# failed and with what status instead of ending the script in silence.
set -eEuo pipefail
step_name="start"
step() {
  step_name="$*"
  echo "== $(basename "$0"): $step_name"
}
step_failed() {
  local command=$2
  # Programs left in the background end when the script stops Wine: that is no failed step.
  [ "$BASHPID" = "$$" ] || return 0
  # A failing function shows as its "return"; it has said itself what went wrong.
  case $command in return*) command="" ;; esac
  echo "$(basename "$0"): step \"$step_name\" failed with status $1${command:+: $command}" >&2
}
trap 'step_failed $? "$BASH_COMMAND"' ERR
