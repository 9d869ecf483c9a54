"""Gathers the benchmark's sample lines into one table (Markdown).

Input lines, tab-separated, each starting with the architecture:
  arch sample <pair> ours|peer <microseconds per call>   one round of a pair
  arch cold <progid> <microseconds>                      one fresh process
  arch memory <progid> <bytes per live object>
"""
import collections
import statistics
import sys

CHECK = "--check" in sys.argv[1:]  # only say whether every pair and figure is there

PEERS = {
    "vbs property get": ("VBScript property get: `ClassKey`", "`Scripting.Dictionary.Count`", 1.2),
    "vbs method, text argument": ("VBScript method, one text argument: `StripTerminator`", "`Scripting.Dictionary.Exists`", 1.2),
    "js property get": ("JScript property get: `ClassKey`", "`Scripting.Dictionary.Count`", 1.2),
    "js method, text argument": ("JScript method, one text argument: `StripTerminator`", "`Scripting.Dictionary.Exists`", 1.2),
    "vbs registry write (REG_DWORD)": ("VBScript `RegSysSet` (REG_DWORD)", "`WScript.Shell.RegWrite`", 1.0),
    "vbs registry read (REG_DWORD)": ("VBScript `RegSysGet` (REG_DWORD)", "`WScript.Shell.RegRead`", 1.0),
    "c++ GetIDsOfNames": ("C++ `GetIDsOfNames`, `xPrinter`", "its `ITypeInfo::GetIDsOfNames`", 1.0),
    "c++ registry value let (REG_DWORD)": ("C++ vtable `Value` let (REG_DWORD)", "RegCreateKeyEx, RegSetValueEx, RegCloseKey", 1.1),
    "c++ registry value get (REG_DWORD)": ("C++ vtable `Value` get (REG_DWORD)", "RegOpenKeyEx, RegQueryValueEx, RegCloseKey", 1.1),
    "c++ PaintPicture 1000x1000, fast / StretchDIBits": ("`PaintPicture` 1000 × 1000, `Fast`", "one `StretchDIBits`", 1.1),
    "c++ PaintPicture 1000x1000, banded / StretchDIBits": ("`PaintPicture` 1000 × 1000, banded", "one `StretchDIBits`", 1.5),
    "c++ pPrint line / TextOutW": ("`pPrint`, one line (1,000 a round)", "`TextOutW`, same font and DC", 1.1),
    # First use, one fresh process per sample (bench/first_use.cpp).
    "first use: CreateObject xRegistry / Scripting.Dictionary":
        ("first `CreateObject(\"Tessary.xRegistry\")`", "first `CreateObject(\"Scripting.Dictionary\")`", 2.0),
    "first use: CreateObject xApplication / Scripting.Dictionary":
        ("first `CreateObject(\"Tessary.xApplication\")`", "first `CreateObject(\"Scripting.Dictionary\")`", 2.0),
    "first use: CreateObject xMixer / the mixer work by hand":
        ("first `CreateObject(\"Tessary.xMixer\")`", "`mixerGetNumDevs`, `mixerOpen` of device 0 (winmm loaded)", 1.2),
    "first use: CreateObject xPrinter / the printer work by hand":
        ("first `CreateObject(\"Tessary.xPrinter\")`",
         "printers enumerated, default entry, settings record, DC made (winspool loaded)", 1.2),
    "first use: cscript, one RegSysGet / one WScript.Shell.RegRead":
        ("`cscript` job: `xRegistry.RegSysGet` once (whole process)", "the same job with `WScript.Shell.RegRead`", 1.1),
}
FIRST_USE = "first use: "

samples = collections.defaultdict(lambda: collections.defaultdict(list))
cold = collections.defaultdict(lambda: collections.defaultdict(list))
memory = collections.defaultdict(dict)
order = []
for line in sys.stdin:
    fields = line.rstrip("\n").split("\t")
    if len(fields) < 4:
        continue
    arch, kind = fields[0], fields[1]
    try:
        if kind == "sample" and len(fields) == 5:
            key = (arch, fields[2])
            if key not in order:
                order.append(key)
            samples[key][fields[3]].append(float(fields[4]))
        elif kind == "cold":
            cold[arch][fields[2]].append(float(fields[3]))
        elif kind == "memory":
            memory[arch][fields[2]] = float(fields[3])
    except ValueError:
        continue


if CHECK:
    missing = [pair for pair in PEERS
               if not any(samples[key]["ours"] and samples[key]["peer"] for key in order if key[1] == pair)]
    missing += [f"cold start of {c}" for c in ("Scripting.Dictionary", "Tessary.xRegistry") if not any(c in v for v in cold.values())]
    missing += [f"memory of {c}" for c in ("Tessary.xRegistry", "Tessary.xPrinter") if not any(c in v for v in memory.values())]
    for what in missing:
        print(f"missing: {what}")
    print(f"{len(PEERS) - len([m for m in missing if m in PEERS])} of {len(PEERS)} pairs measured")
    sys.exit(1 if missing else 0)


def us(value):
    return f"{value:,.2f}" if value < 100 else f"{value:,.0f}"


def spread(values):
    return f"{us(min(values))}–{us(max(values))}"


def table(columns, rows):
    print("| " + " | ".join(columns) + " |")
    print("|" + "---|" * len(columns))
    for row in rows:
        print("| " + " | ".join(row) + " |")


def ratio_spread(ours, peer):
    """The lowest and highest ratio of one round's two sides."""
    ratios = [o / p for o, p in zip(ours, peer) if p]
    return f"{min(ratios):.2f}–{max(ratios):.2f}" if ratios else "–"


def pair_rows(first_use, scale=1.0):
    for arch, pair in order:
        if pair.startswith(FIRST_USE) != first_use:
            continue
        sides = samples[(arch, pair)]
        if not sides["ours"] or not sides["peer"]:
            continue
        label, peer, target = PEERS.get(pair, (pair, "peer", 0))
        ours_median = statistics.median(sides["ours"])
        peer_median = statistics.median(sides["peer"])
        ratio = ours_median / peer_median if peer_median else float("inf")
        ours = [v * scale for v in sides["ours"]]
        peers = [v * scale for v in sides["peer"]]
        yield (arch, label, f"{us(ours_median * scale)} ({spread(ours)})", peer,
               f"{us(peer_median * scale)} ({spread(peers)})", f"≤ {target}×", f"**{ratio:.2f}×**",
               ratio_spread(sides["ours"], sides["peer"]))


def cold_rows():
    for arch, classes in cold.items():
        base = statistics.median(classes.get("Scripting.Dictionary", [float("nan")]))
        for progid, values in classes.items():
            median = statistics.median(values)
            yield (arch, f"`{progid}`", f"{median / 1000:.1f}", f"{min(values) / 1000:.1f}–{max(values) / 1000:.1f}",
                   f"{median / base:.1f}×")


def memory_rows():
    for arch, classes in memory.items():
        for progid, value in classes.items():
            yield (arch, f"`{progid}`", f"{value:,.0f}")


table(("arch", "call", "µs per call (spread)", "peer", "peer µs (spread)", "target", "ratio", "round ratios"),
      pair_rows(False))
if any(pair.startswith(FIRST_USE) for _, pair in order):
    print()
    table(("arch", "first use, a fresh process each", "ms (spread)", "peer", "peer ms (spread)", "target", "ratio",
           "round ratios"), pair_rows(True, 1e-3))
if cold:
    print()
    table(("arch", "first `CreateObject` in a fresh process", "ms (median)", "ms (spread)",
           "ratio to `Scripting.Dictionary`"), cold_rows())
if memory:
    print()
    table(("arch", "live object (10,000 of a class)", "private bytes per object"), memory_rows())
