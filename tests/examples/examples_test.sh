#!/usr/bin/env bash
# Runs one of the examples in examples/ as a user would and checks that it did
# its job: the registry it left, the page it printed, the report it wrote.
#   examples_test.sh <example> <wine-run> <build tree>
set -u
example=$1 run=$2 build=$3
# A tree whose programs this machine cannot run: its runner answers 77 to anything.
"$run" cmd /c exit >/dev/null 2>&1
if [ $? -eq 77 ]; then echo "skipped: this machine does not run this architecture's programs"; exit 77; fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
winpath() { echo "Z:$1" | tr / '\\'; }
examples=$(winpath "$root/examples")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0 passed=0
check() {  # check <label> <command...>
  local label=$1; shift
  if "$@" >"$work/check.out" 2>&1; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $label"; sed 's/^/    /' "$work/check.out"; fi
}
# Runs a program of the example, keeping what it printed in $work/out.
runs() { "$run" "$@" 2>/dev/null | tr -d '\r' > "$work/out"; local rc=${PIPESTATUS[0]}; cat "$work/out"; return $rc; }
said() { grep -qxF -- "$1" "$work/out" || { echo "expected the line: $1"; cat "$work/out"; return 1; }; }
said_like() { grep -qx -- "$1" "$work/out" || { echo "expected a line like: $1"; cat "$work/out"; return 1; }; }
settings='HKCU\Software\Halvex\Example Editor'
reg_data() { "$run" reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
is() { [ "$1" = "$2" ] || { echo "'$1', expected '$2'"; return 1; }; }
no_settings() { ! "$run" reg query "$settings" >/dev/null 2>&1; }

# The settings job, in VBScript or JScript.
settings_job() {  # settings_job <script>
  local script=$examples\\$1
  check "a reset to start from" runs cscript //nologo "$script" /reset
  check "first run at 23:00" runs cscript //nologo "$script" 23
  check "... reports the defaults and run 1" said "Example Editor: Courier New 10 pt, run 1"
  check "... quiet hours on" said "Quiet hours: on (23:00)"
  check "... stored as 1" is "$(reg_data QuietHours)" 0x1
  check "... the font kept" is "$(reg_data FontName)" "Courier New"
  check "second run at 12:00" runs cscript //nologo "$script" 12
  check "... run 2" said "Example Editor: Courier New 10 pt, run 2"
  check "... quiet hours off" said "Quiet hours: off (12:00)"
  check "... stored as 0" is "$(reg_data QuietHours)" 0x0
  check "... the run count kept" is "$(reg_data Runs)" 2
  check "reset" runs cscript //nologo "$script" /reset
  check "... the settings are gone" no_settings
}

case $example in
settings.vbs|settings.js)
  settings_job "$example" ;;
system_info.vbs)
  check "runs" runs cscript //nologo "$examples\\system_info.vbs"
  check "names the Windows version" said_like 'Windows: Win[0-9A-Z]*'
  check "lists drive C" said 'Drive: C:\'
  check "finds the Windows folder" said 'Windows folder: C:\windows\'
  check "finds the system folder" said 'System folder: C:\windows\system32\'
  check "finds the Startup folder" said_like 'Startup folder: C:\\.*\\Start Menu\\Programs\\StartUp\\'
  check "gives a short name" said_like 'Short name of C:\\Program Files: C:\\[A-Z0-9]*~[A-Z0-9]*'
  check "splits the path" said 'Its folder: C:\, its name: Program Files'
  check "finds the folder" said 'C:\Program Files exists'
  check "cleans up the list" said 'Colours: red|green|blue' ;;
print_page.vbs)
  # The "Proof Letter" test printer: 300 dpi, printable area 8 x 10 in from
  # (0.25 in, 0.5 in). At 72 dpi the frame's edges, 20 mm inside it, are at x 74 and 536.
  check "prints" runs cscript //nologo "$examples\\print_page.vbs" "$(winpath "$work/page.ps")"
  check "reports the printable area" said 'Printable area: 203 x 254 mm (8 x 10 in) on Proof Letter'
  check "the frame, the filled box and the red circle are on the page" \
    python3 "$root/tests/examples/page_check.py" "$work/page.ps" \
      dark-column:74,100,700 dark-column:536,100,700 count:96DC96,2000 count:DC0000,300 \
      colour:72,30,FFFFFF ;;
volume.vbs)
  check "reports and sets the speakers" runs cscript //nologo "$examples\\volume.vbs" 25
  check "names the mixer" said_like 'Mixer: .* ([0-9]* source line(s))'
  check "reports the speaker line" said_like 'Main: volume [0-9]* %, \(not \)\{0,1\}muted'
  check "sets 25 %" said 'Speakers set to 25 %'
  check "reads 25 % back" bash -c "tail -n 1 '$work/out' | grep -qx 'Main: volume 25 %, \(not \)\{0,1\}muted'" ;;
early_bound)
  exe=$(winpath "$build/bin/early_bound.exe")
  check "a reset to start from" runs "$exe" --reset
  check "first run" runs "$exe"
  check "... counts run 1" said 'Example Editor, run 1'
  check "second run" runs "$exe"
  check "... counts run 2" said 'Example Editor, run 2'
  check "... stored as a number" is "$(reg_data Runs)" 0x2
  check "... the data folder stored" said_like 'Data folder: C:\\.*\\Halvex\\Example Editor'
  check "... and the same in the registry" bash -c "grep -qxF \"Data folder: \$(\"$run\" reg query '$settings' /v DataFolder 2>/dev/null | tr -d '\r' | sed -n 's/^ *DataFolder *REG_SZ *//p')\" '$work/out'"
  check "reset" runs "$exe" --reset
  check "... the settings are gone" no_settings ;;
late_bound)
  # The picture: 2 x 1 in at (1 in, 1 in) in the printable area, that is
  # x 90..234 and y 108..180 at 72 dpi; four bands of 36 points.
  check "prints" runs "$(winpath "$build/bin/late_bound.exe")" "$(winpath "$work/picture.ps")"
  check "reports the printer" said_like 'Printed a picture on Proof Letter into .*'
  check "the picture's bands are where PaintPicture put them" \
    python3 "$root/tests/examples/page_check.py" "$work/picture.ps" \
      colour:108,144,DC2020 colour:144,144,F0D020 colour:180,144,20A040 colour:216,144,2040C0 \
      colour:80,144,FFFFFF colour:244,144,FFFFFF colour:162,100,FFFFFF dark-column:90,112,176 ;;
*)
  echo "unknown example $example"; exit 2 ;;
esac
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
