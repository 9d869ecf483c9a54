# The servers an entry script starts for itself, stopped again when it ends:
# normally, on a failure, on Ctrl-C, SIGTERM or SIGHUP. Those are the Xvfb
# displays start_xvfb started (stopped by process id) and the wineservers of
# the build's prefixes that were not running when the script began (stopped
# with wineserver -k); what ran before is someone else's and stays.
# TESSARY_KEEP_SERVERS=1 keeps everything for a quicker next run.
#
# Sourced after common.sh, before anything starts a server. It owns the
# script's EXIT trap: a script adds its own clean-up with at_exit.

TESSARY_EXIT_STEPS=()
TESSARY_XVFB_PIDS=()
TESSARY_STOPPABLE=

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

# Whether a prefix's wineserver runs. The server works in a folder that Wine
# names server-<device>-<inode> after the prefix folder (below /tmp/.wine-<uid>,
# or in Debian's Wine below a random /tmp folder the prefix names): looking
# for a wineserver working there tells without starting or asking one.
prefix_server_runs() {
  local folder pid
  folder=$(printf 'server-%x-%x' $(stat -Lc '%d %i' "$1" 2>/dev/null)) || return 1
  for pid in $(pgrep wineserver); do  # wineserver, wineserver32, wineserver64
    [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == */"$folder" ]] && return 0
  done
  return 1
}

# The prefixes whose server ran before the script began: someone else's.
TESSARY_SERVERS_BEFORE=$'\n'
while IFS= read -r running_before; do
  prefix_server_runs "$running_before" && TESSARY_SERVERS_BEFORE+="$running_before"$'\n'
done < <(build_prefixes)

# The script stopped this prefix's server itself (to bind it to another
# display): the one that runs from now on is its own.
adopt_prefix_server() { TESSARY_SERVERS_BEFORE=${TESSARY_SERVERS_BEFORE/$'\n'"$1"$'\n'/$'\n'}; }

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
  local prefix pid
  while IFS= read -r prefix; do
    [[ $TESSARY_SERVERS_BEFORE == *$'\n'"$prefix"$'\n'* ]] && continue
    prefix_server_runs "$prefix" || continue
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    # Until it has gone, so that nothing of it is left when the script returns.
    for _ in $(seq 50); do prefix_server_runs "$prefix" || break; sleep 0.1; done
  done < <(build_prefixes)
  # The displays last: the programs on them have ended with their servers.
  for pid in "${TESSARY_XVFB_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
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
