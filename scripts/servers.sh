# The servers an entry script starts for itself, stopped again when it ends:
# normally, on a failure, on Ctrl-C, SIGTERM or SIGHUP. Those are the Xvfb
# displays start_xvfb started and the wineservers that the script's own Wine
# programs started: Wine hands its environment to the server it starts, so
# they carry this run's mark (TESSARY_RUN_ID). Each is stopped only if no
# other running script of the project uses its prefix or display
# (scripts/locks.sh); a display that another script still uses is handed
# over, and the last script to leave it stops it. Wineservers left running
# end by themselves after their last program. TESSARY_KEEP_SERVERS=1 keeps
# everything for a quicker next run.
#
# Sourced after common.sh, before anything starts a server. It owns the
# script's EXIT trap: a script adds its own clean-up with at_exit.

source "$TESSARY_ROOT/scripts/locks.sh"

TESSARY_EXIT_STEPS=()
TESSARY_XVFB_STARTED=()  # "<process id> <display>" of each Xvfb this script started
TESSARY_DISPLAYS_USED=()
TESSARY_STOPPABLE=
TESSARY_RUN_ID=$$-$(date +%s%N)
export TESSARY_RUN_ID

# Runs a command (shell text) when the script ends, before the servers stop.
at_exit() { TESSARY_EXIT_STEPS+=("$1"); }

# The build's Wine prefixes: every architecture's, each in build/<arch>/wine/.
build_prefixes() {
  local prefix
  for prefix in "$TESSARY_BUILD_ROOT"/*/wine/*/; do
    [ -f "$prefix/system.reg" ] && printf '%s\n' "${prefix%/}"
  done
  return 0
}

# The Xvfb of a display that its starter handed over (its process id in the
# display's lock file), stopped if it is still that display's Xvfb. Runs
# under the display's exclusive lock.
stop_handed_over_display() {
  local display=$1 lock pid
  lock=$(display_lock "$display")
  read -r pid 2>/dev/null <"$lock" || return 0
  if [[ $pid =~ ^[0-9]+$ ]] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] &&
     tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline" | grep -qxF "$display"; then
    end_process "$pid"
  fi
  : >"$lock"
}

# Runs a command or shell function in a process group of its own and waits
# for it. A signal then reaches the script at once (the shell would only
# act on it after a foreground command ended), and the script ends the
# command's whole group.
run_stoppable() {
  set -m
  "$@" &
  TESSARY_STOPPABLE=$!
  set +m
  local status=0
  wait "$TESSARY_STOPPABLE" || status=$?
  TESSARY_STOPPABLE=
  return "$status"
}

stop_started_servers() {
  local entry pid display prefix folder own
  # A display this script started goes to whoever stops it last: its process
  # id, in the display's lock file, before this script's lock is let go.
  for entry in "${TESSARY_XVFB_STARTED[@]}"; do
    read -r pid display <<<"$entry"
    echo "$pid" >"$(display_lock "$display")"
  done
  release_locks
  own=$(wineservers "TESSARY_RUN_ID=$TESSARY_RUN_ID")
  if [ -n "$own" ]; then
    while IFS= read -r prefix; do
      folder=$(server_folder "$prefix") || continue
      grep -q " $folder\$" <<<"$own" || continue
      when_unused "$(prefix_lock "$prefix")" stop_prefix_server "$prefix" ||
        log "another script uses $prefix: its wineserver stays"
    done < <(build_prefixes)
  fi
  # The displays last: the programs on them have ended with their servers.
  for display in $(printf '%s\n' "${TESSARY_DISPLAYS_USED[@]}" | sort -u); do
    when_unused "$(display_lock "$display")" stop_handed_over_display "$display" && continue
    [[ " ${TESSARY_XVFB_STARTED[*]} " == *" $display "* ]] &&
      log "another script uses the display $display: it stays, and the last to leave it stops it"
  done
}

on_exit() {
  local status=$?
  set +e
  if [ -n "$TESSARY_STOPPABLE" ]; then
    kill -TERM -- "-$TESSARY_STOPPABLE" 2>/dev/null || kill -TERM "$TESSARY_STOPPABLE" 2>/dev/null
    wait "$TESSARY_STOPPABLE" 2>/dev/null
  fi
  local step
  for step in "${TESSARY_EXIT_STEPS[@]}"; do eval "$step"; done
  if [ "${TESSARY_KEEP_SERVERS:-0}" = 1 ]; then
    log "TESSARY_KEEP_SERVERS=1: the Xvfb displays and wineservers stay running"
  else
    stop_started_servers
  fi
  exit "$status"
}

trap on_exit EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
