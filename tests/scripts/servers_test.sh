#!/usr/bin/env bash
# Two entry scripts at once leave each other alone: scripts/run.sh runs
# Dovetta twice on one private display, one script ends, and the other's
# display and Wine programs must live on; once both have ended, the display
# and every Wine process of the prefixes they used are gone.
#   servers_test.sh <source folder> <build root (holding x86/ and x64/)>
set -u
root=$1 build_root=$2
work=$(mktemp -d)
source "$root/tests/support/checks.sh"
source "$root/scripts/common.sh"

# A display of the test's own, free now: derived from the suite's, so that
# checkouts with displays of their own get test displays of their own.
display_number=$(( ${TESSARY_XDISPLAY#:} + 100 ))
while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
  display_number=$((display_number + 1))
done
display=:$display_number

# start_run <role> <x86|x64|any> <Dovetta's command line>: scripts/run.sh in
# the background on the test's display; "any" takes run.sh's own choice.
start_run() {
  local extra=()
  [ "$2" = x64 ] && extra=(TESSARY_NO_X86=1)
  env -u DISPLAY -u TESSARY_KEEP_SERVERS -u TESSARY_RUN_ID -u TESSARY_ARCH -u TESSARY_BUILD_TREE \
    TESSARY_BUILD_ROOT="$build_root" TESSARY_XDISPLAY_OVERRIDE="$display" "${extra[@]}" \
    "$root/scripts/run.sh" "$3" >"$work/$1.log" 2>&1 &
  printf -v "pid_$1" %s "$!"
}
# end_run <role>: ends the script as a kill or a Ctrl-C would; its exit status.
end_run() {
  local pid=pid_$1
  kill -TERM "${!pid}" 2>/dev/null
  wait "${!pid}"
}
# wait_run <role>: waits for the script to end by itself; its exit status.
wait_run() {
  local pid=pid_$1
  wait "${!pid}"
}

# The Wine processes (wineserver, wine-preloader, *.exe) whose environment
# says they run in the prefix; with a name, only those of that name.
prefix_processes() {  # <prefix> [<process name>]
  local dir name
  for dir in /proc/[0-9]*; do
    read -r name 2>/dev/null <"$dir/comm" || continue
    if [ -n "${2:-}" ]; then
      [ "$name" = "$2" ] || continue
    else
      [[ $name == wine* || $name == *.exe ]] || continue
    fi
    grep -qzxF "WINEPREFIX=$1" "$dir/environ" 2>/dev/null && echo "${dir#/proc/}"
  done
}
dovetta_runs() { [ -n "$(prefix_processes "$1" Dovetta.exe)" ]; }
dovetta_gone() { ! dovetta_runs "$1"; }
display_answers() { xdpyinfo -display "$display" >/dev/null 2>&1; }
left_over() {  # <prefix>...
  local prefix found
  display_answers && echo "the display $display still answers"
  for prefix; do
    found=$(prefix_processes "$prefix")
    [ -z "$found" ] || echo "left running in $prefix:" $found
  done
}
nothing_left() {  # <prefix>...
  local left
  for _ in $(seq 100); do
    left=$(left_over "$@")
    [ -z "$left" ] && return 0
    sleep 0.1
  done
  echo "$left"
  return 1
}
wait_for() {  # <seconds> <command...>
  local tenths=$(($1 * 10))
  shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}
ended_by_signal() { [ "$1" -eq 143 ]; }
ended_by_itself() { [ "$1" -eq 0 ]; }

# run.sh's set-up stops the suite's persistent wineservers of the
# display-bound prefixes (nobody uses them while this test runs): put back
# when it ends, as scripts/test.sh started them.
suite_servers=()
for arch in $(runnable_arches); do
  prefix=$build_root/$arch/wine/ui
  [ -n "$(prefix_processes "$prefix" wineserver64)$(prefix_processes "$prefix" wineserver32)" ] &&
    suite_servers+=("$prefix")
done
clean_up() {
  local prefix
  kill -TERM $(jobs -p) 2>/dev/null
  wait
  for prefix in "${suite_servers[@]}"; do WINEPREFIX=$prefix wineserver -p60 2>/dev/null; done
  rm -rf "$work"
}
trap clean_up EXIT

# first | second | the one that ends first | what they share
#   display: each architecture's Dovetta in its own prefix, on one display
#   prefix:  the second run.sh in the first one's prefix; its Dovetta, a
#            second copy, ends at once, and so does that script
cases=(
  "x86|x64|first|display"
  "x86|x64|second|display"
  "any|any|second|prefix"
)
for case in "${cases[@]}"; do
  IFS='|' read -r first second ends shared <<<"$case"
  label="$first, then $second; the $ends ends first (shared $shared)"
  if [[ "$first $second" == *x86* ]] && ! x86_runnable; then
    echo "skipped: $label: this machine does not run 32-bit programs"
    continue
  fi
  arch_first=$first arch_second=$second
  [ "$first" = any ] && arch_first=$(runnable_arches | cut -d' ' -f1)
  [ "$second" = any ] && arch_second=$arch_first
  prefix_first=$build_root/$arch_first/wine/ui prefix_second=$build_root/$arch_second/wine/ui
  failed_before=$failed

  # Dovetta waits 60 s (the longest wait it takes) unless its script ends first.
  start_run first "$first" 60
  check "$label: the first script runs Dovetta" wait_for 300 dovetta_runs "$prefix_first"
  if [ "$shared" = prefix ]; then
    start_run second "$second" never
    wait_run second; status=$?
    check "$label: the second script ends by itself" ended_by_itself "$status"
    check "$label: the first Dovetta lives on" dovetta_runs "$prefix_first"
    check "$label: and its display" display_answers
    end_run first; status=$?
    check "$label: the first script ends when told" ended_by_signal "$status"
  else
    start_run second "$second" 60
    check "$label: the second script runs Dovetta beside it" wait_for 300 dovetta_runs "$prefix_second"
    check "$label: the first Dovetta still waits (it did not time out first)" dovetta_runs "$prefix_first"
    staying=second prefix_ending=$prefix_first prefix_staying=$prefix_second
    if [ "$ends" = second ]; then
      staying=first prefix_ending=$prefix_second prefix_staying=$prefix_first
    fi
    end_run "$ends"; status=$?
    check "$label: the $ends script ends when told" ended_by_signal "$status"
    check "$label: its Dovetta has gone" wait_for 10 dovetta_gone "$prefix_ending"
    check "$label: the $staying script's Dovetta lives on" dovetta_runs "$prefix_staying"
    check "$label: and its display" display_answers
    end_run "$staying"; status=$?
    check "$label: the $staying script ends when told" ended_by_signal "$status"
  fi
  check "$label: then nothing is left" nothing_left "$prefix_first" "$prefix_second"
  if [ "$failed" -gt "$failed_before" ]; then
    for role in first second; do echo "--- what the $role script printed:"; cat "$work/$role.log"; done
  fi
done
finish
