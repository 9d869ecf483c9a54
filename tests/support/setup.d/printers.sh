#!/usr/bin/env bash
# Two PostScript test printers for the printing tests, installed through the
# prefix's own registry (no CUPS): "Proof Letter" (the default printer) and
# "Proof A4", each with its own PPD. A third prefix, "noprinter", is kept
# without any printer for the tests of the printer-less case.
# Quick when done: a stamp in each prefix records the PPDs it was given.
set -euo pipefail
source "$TESSARY_ROOT/scripts/common.sh"

ppd_dir=$TESSARY_ROOT/tests/support/printers
stamp_value=$(cat "$ppd_dir"/*.ppd "${BASH_SOURCE[0]}" | md5sum | cut -d' ' -f1)

# name|ppd file
printers=("Proof Letter|proof-letter.ppd" "Proof A4|proof-a4.ppd")
default_printer="Proof Letter"

write_reg() {
  local entry name
  echo 'REGEDIT4'
  echo
  for entry in "${printers[@]}"; do
    name=${entry%%|*}
    cat <<EOF
[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Environments\\$TESSARY_PRINT_ENVIRONMENT\\Drivers\\Version-3\\$name]
"Driver"="wineps.drv"
"Configuration File"="wineps.drv"
"Data File"="$name.ppd"
"Version"=dword:00000003

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\$name]
"Name"="$name"
"Port"="FILE:"
"Printer Driver"="$name"
"Print Processor"="WinPrint"
"Datatype"="RAW"
"Attributes"=dword:00000040
"Description"="$name test printer"

EOF
  done
  echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Devices]'
  for entry in "${printers[@]}"; do echo "\"${entry%%|*}\"=\"wineps.drv,FILE:\""; done
  echo
  echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\PrinterPorts]'
  for entry in "${printers[@]}"; do echo "\"${entry%%|*}\"=\"wineps.drv,FILE:,15,45\""; done
  echo
  echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows]'
  echo "\"Device\"=\"$default_printer,wineps.drv,FILE:\""
}

install_printers() {
  local prefix=$1 stamp=$1/tessary-printers.stamp entry drivers reg
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_value" ] && return
  log "installing the test printers in $prefix"
  drivers=$prefix/drive_c/windows/system32/spool/drivers/$TESSARY_DRIVER_FOLDER/3
  mkdir -p "$drivers"
  for entry in "${printers[@]}"; do
    cp "$ppd_dir/${entry#*|}" "$drivers/${entry%%|*}.ppd"
  done
  reg=$prefix/drive_c/tessary-printers.reg
  write_reg | sed 's/$/\r/' > "$reg"
  WINEPREFIX=$prefix DISPLAY= wine regedit /S 'C:\tessary-printers.reg' >/dev/null 2>&1
  rm -f "$reg"
  echo "$stamp_value" > "$stamp"
}

install_printers "$TESSARY_PREFIX_HEADLESS"
install_printers "$TESSARY_PREFIX_UI"
make_prefix "$TESSARY_BUILD/wine/noprinter"
