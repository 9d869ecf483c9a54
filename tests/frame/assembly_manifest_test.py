#!/usr/bin/env python3
"""The assembly manifest says what regsvr32 registers, no more and no less.

    assembly_manifest_test.py <wine-run> <Tessary.Automation.manifest> <x86|x64> <project version>

The manifest's generator reads the class table and the IDL; DllRegisterServer
registers from the compiled class table and the type library. Here the
manifest is compared with what registration wrote in the headless prefix
(registered by the frame.registration fixture): the same classes with the
same program id, threading model, type library and name, the same dual
interfaces with the same marshaler, the same type library version, flags and
platform. A mistake in the generator shows here even where it reads its
sources the way it was written to.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

NS = {"asm": "urn:schemas-microsoft-com:asm.v1"}
PROCESSOR = {"x86": ("x86", "win32"), "x64": ("amd64", "win64")}
LIBRARY_FLAGS = {"RESTRICTED": 1, "CONTROL": 2, "HIDDEN": 4, "HASDISKIMAGE": 8}
SKIP = 77


def read_registry(run, key, folder):
    """{key path (below the root, lower case): {value name or "": text}} of one exported tree."""
    path = os.path.join(folder, "export.reg")
    windows_path = "Z:" + path.replace("/", "\\")
    done = subprocess.run([run, "reg", "export", key, windows_path, "/y"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode == SKIP:
        print("skipped: this machine does not run this architecture's programs")
        sys.exit(SKIP)
    if done.returncode != 0:
        return {}
    keys, current = {}, None
    with open(path, encoding="utf-16") as f:
        for line in f.read().splitlines():
            header = re.fullmatch(r"\[HKEY_CLASSES_ROOT\\(.*)\]", line)
            value = re.fullmatch(r'(@|"((?:[^"\\]|\\.)*)")="((?:[^"\\]|\\.)*)"', line)
            if header:
                current = keys.setdefault(header.group(1).lower(), {})
            elif value and current is not None:
                name = "" if value.group(1) == "@" else value.group(2)
                current[name] = re.sub(r"\\(.)", r"\1", value.group(3))
    return keys


def default(keys, path, name=""):
    return keys.get(path.lower(), {}).get(name)


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def expect(self, label, got, wanted):
        if got == wanted:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL: %s: the manifest has %r, expected %r" % (label, got, wanted))


def main(run, manifest_path, arch, version):
    checks = Checks()
    root = ET.parse(manifest_path).getroot()
    identity = root.find("asm:assemblyIdentity", NS)
    files = root.findall("asm:file", NS)
    processor, platform = PROCESSOR[arch]
    checks.expect("the manifest's file is named after the assembly", os.path.basename(manifest_path),
                  identity.get("name") + ".manifest")
    checks.expect("assembly type, version, processor",
                  (identity.get("type"), identity.get("version"), identity.get("processorArchitecture")),
                  ("win32", ".".join((version.split(".") + ["0"] * 4)[:4]), processor))
    checks.expect("one file, the DLL", [f.get("name") for f in files], ["Tessary.dll"])
    typelib = files[0].find("asm:typelib", NS)
    libid = typelib.get("tlbid").upper()
    classes = {c.get("clsid").upper(): c for c in files[0].findall("asm:comClass", NS)}
    interfaces = {i.get("iid").upper(): i for i in root.findall("asm:comInterfaceExternalProxyStub", NS)}

    with tempfile.TemporaryDirectory() as folder:
        clsid_keys = read_registry(run, "HKCR\\CLSID", folder)
        interface_keys = read_registry(run, "HKCR\\Interface", folder)
        typelib_keys = read_registry(run, "HKCR\\TypeLib\\" + libid, folder)

    registered_classes = sorted(
        k.split("\\")[1].upper() for k, v in clsid_keys.items()
        if k.endswith("\\inprocserver32") and v.get("", "").lower().endswith("\\tessary.dll"))
    checks.expect("the classes", sorted(classes), registered_classes)
    for clsid, c in classes.items():
        key = "CLSID\\" + clsid
        checks.expect(clsid + " program id", c.get("progid"), default(clsid_keys, key + "\\ProgID"))
        checks.expect(clsid + " threading model", c.get("threadingModel"),
                      default(clsid_keys, key + "\\InprocServer32", "ThreadingModel"))
        checks.expect(clsid + " type library", c.get("tlbid").upper(), (default(clsid_keys, key + "\\TypeLib") or "").upper())
        checks.expect(clsid + " description", c.get("description"), default(clsid_keys, key))

    registered_interfaces = sorted(
        k.split("\\")[1].upper() for k, v in interface_keys.items()
        if k.endswith("\\typelib") and v.get("", "").upper() == libid)
    checks.expect("the dual interfaces", sorted(interfaces), registered_interfaces)
    for iid, i in interfaces.items():
        key = "Interface\\" + iid
        checks.expect(iid + " name", i.get("name"), default(interface_keys, key))
        checks.expect(iid + " marshaler", i.get("proxyStubClsid32"), default(interface_keys, key + "\\ProxyStubClsid32"))
        checks.expect(iid + " type library", i.get("tlbid").upper(), (default(interface_keys, key + "\\TypeLib") or "").upper())

    versions = {k.split("\\")[2] for k in typelib_keys if k.count("\\") >= 2}
    checks.expect("type library version", [typelib.get("version")], sorted(versions))
    flags = sum(LIBRARY_FLAGS[f.strip().upper()] for f in typelib.get("flags", "").split(",") if f.strip())
    key = "TypeLib\\%s\\%s" % (libid, typelib.get("version"))
    # RegisterTypeLib under Wine adds "has a disk image" (8), a state of the
    # loaded library rather than one of its attributes: compared without it.
    registered_flags = int(default(typelib_keys, key + "\\FLAGS") or "-1") & ~LIBRARY_FLAGS["HASDISKIMAGE"]
    checks.expect("type library flags", flags & ~LIBRARY_FLAGS["HASDISKIMAGE"], registered_flags)
    checks.expect("the platform of the processor", True,
                  default(typelib_keys, key + "\\0\\" + platform) is not None)

    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
