#!/usr/bin/env bash
# Three more Wine prefixes for the mixer's tests against the real winmm:
#   nosound  - audio switched off (no audio driver): no mixer device at all;
#   sound    - Wine's ALSA driver over ALSA's null device, configured by the
#              file sound/alsa.conf (tests point ALSA_CONFIG_PATH at it): real
#              mixers without sound hardware or a sound daemon;
#   endpoint - the same, where the mixer tests put a stand-in audio endpoint
#              over Wine's own (tests/mixer/endpoint_double.h).
# Quick when done: a stamp in each prefix records the set-up it was given.
set -euo pipefail
source "$TESSARY_ROOT/scripts/common.sh"

stamp_value=$(md5sum < "${BASH_SOURCE[0]}" | cut -d' ' -f1)

# prefix name|value of HKCU\Software\Wine\Drivers\Audio
for entry in "nosound|" "sound|alsa" "endpoint|alsa"; do
  name=${entry%%|*}
  audio=${entry#*|}
  prefix=$TESSARY_BUILD/wine/$name
  make_prefix "$prefix"
  if [ "$name" = sound ]; then
    # Only ALSA's built-in null plugin: nothing of the host's sound set-up is read.
    printf 'pcm.!default { type null }\n' > "$prefix/alsa.conf"
  fi
  stamp=$prefix/.tessary-sound
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_value" ] && continue
  log "sound set-up of $prefix (Audio=\"$audio\")"
  WINEPREFIX=$prefix DISPLAY= wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "$audio" /f >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  echo "$stamp_value" > "$stamp"
done
