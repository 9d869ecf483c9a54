# What the project's running scripts use, told by locks: a file per Wine
# prefix (<prefix>.lock beside the prefix's folder) and per X display
# (/tmp/.tessary-display-<n>.lock, shared by every checkout on the machine).
# A script holds a shared lock on each while it uses it; a server is stopped
# only under an exclusive lock, which nobody gets while another script holds
# a shared one. Also here: finding and stopping a prefix's wineserver.
# Sourced after common.sh.

prefix_lock() { printf '%s.lock\n' "${1%/}"; }
display_lock() { printf '/tmp/.tessary-display-%s.lock\n' "${1#:}"; }

TESSARY_LOCK_HOLDERS=()

# hold_shared <lock file>...: shared locks on the files until release_locks or
# the end of the script. A process of its own holds them (a tail that ends
# with the script), so that no program or server the script starts inherits
# a lock and keeps it after the script has gone.
hold_shared() {
  [ $# -gt 0 ] || return 0
  local ready answer=
  exec {ready}< <(
    exec </dev/null
    for lock in "$@"; do
      mkdir -p "$(dirname "$lock")" && exec {fd}>>"$lock" && flock -s "$fd" || exit 1
    done
    echo held
    exec tail --pid=$$ -f /dev/null >/dev/null 2>&1
  )
  local holder=$!
  read -r answer <&"$ready" || true
  exec {ready}<&-
  if [ "$answer" != held ]; then
    echo "could not lock $*" >&2
    return 1
  fi
  TESSARY_LOCK_HOLDERS+=("$holder")
}

# Whether a process runs (a zombie has ended: its locks are free).
process_runs() {
  local state
  state=$(sed -n 's/^State:[[:space:]]*\(.\).*/\1/p' "/proc/$1/status" 2>/dev/null)
  [ -n "$state" ] && [ "$state" != Z ]
}

# Ends a process and waits (up to 5 s) until it has gone.
end_process() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 100); do process_runs "$1" || return 0; sleep 0.05; done
  echo "process $1 did not end" >&2
}

release_locks() {
  local pid
  for pid in "${TESSARY_LOCK_HOLDERS[@]}"; do end_process "$pid"; done
  TESSARY_LOCK_HOLDERS=()
}

# when_unused <lock file> <command...>: runs the command (a shell function
# too) under an exclusive lock if no running script uses what the file stands
# for; returns 1 without running it otherwise. Another script's check holds
# the lock for a moment, so a second's wait tells it from a user.
when_unused() {
  local lock=$1 fd status=0
  shift
  mkdir -p "$(dirname "$lock")"
  exec {fd}>>"$lock" || return 1
  if flock -x -w 1 "$fd"; then
    "$@" || status=$?
  else
    status=1
  fi
  exec {fd}>&-
  return "$status"
}

# The folder a prefix's wineserver works in: Wine names it
# server-<device>-<inode> after the prefix folder (below /tmp/.wine-<uid>, or
# in Debian's Wine below a random /tmp folder that the prefix names).
server_folder() {
  local id
  id=$(stat -Lc '%d %i' "$1" 2>/dev/null) || return 1
  printf 'server-%x-%x\n' $id
}

# "<process id> <server folder>" of every wineserver (wineserver, wineserver32,
# wineserver64) running; with a mark, only those that carry it. Read from
# /proc, without starting or asking a server.
wineservers() {
  local mark=${1:-} dir comm cwd
  for dir in /proc/[0-9]*; do
    read -r comm 2>/dev/null <"$dir/comm" || continue
    [[ $comm == wineserver* ]] || continue
    cwd=$(readlink "$dir/cwd" 2>/dev/null) || continue
    if [ -n "$mark" ]; then
      tr '\0' '\n' 2>/dev/null <"$dir/environ" | grep -qxF "$mark" || continue
    fi
    printf '%s %s\n' "${dir#/proc/}" "${cwd##*/}"
  done
}

prefix_server_runs() {
  local folder
  folder=$(server_folder "$1") || return 1
  wineservers | grep -q " $folder\$"
}

# Stops a prefix's wineserver, and with it every Wine program of the prefix,
# and waits until it has gone.
stop_prefix_server() {
  WINEPREFIX=$1 wineserver -k 2>/dev/null
  for _ in $(seq 50); do prefix_server_runs "$1" || return 0; sleep 0.1; done
  echo "the wineserver of $1 did not stop" >&2
}
