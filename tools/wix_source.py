#!/usr/bin/env python3
"""Writes the WiX source of one Tessary installer package, for wixl.

    wix_source.py --arch x64|x86 --scope machine|user --version 1.0.0
                  --idl library/frame/Tessary.idl --classes library/server/class_table.cpp
                  --threading library/frame/class_entry.h
                  --dll Tessary.dll --tlb Tessary.tlb --program Dovetta.exe
                  [--dll32 x86/Tessary.dll --tlb32 x86/Tessary.tlb] --out Tessary.wxs

The COM registration is the package's own registry data, made here from what
DllRegisterServer writes: the class table (class, program id) and its
threading model, and the type library's identity and dual interfaces from the
IDL (what RegisterTypeLib writes for them), read by interface_model.py as
the assembly manifest's generator reads them. The installer then writes and
removes exactly these values; nothing runs the DLL at install time.

Per-machine packages register below HKLM\\Software\\Classes and install into
Program Files; per-user packages register below HKCU\\Software\\Classes (the
current user's classes, which take precedence for that user) and install into
the user's local application data, without elevation. A component marked 64-bit
writes the 64-bit registry view, any other the 32-bit one; the x64 package
registers its x86 DLL in the 32-bit view that way.
"""
import argparse
import os
import sys
import uuid
from xml.sax.saxutils import quoteattr

from interface_model import AUTOMATION_MARSHALER, Error, read_registration

# Stable identities: the same package kind keeps its upgrade code, each version
# its product code, and every component its id across versions, so that a
# newer package replaces an older one and a rebuild of one version installs
# over itself instead of beside itself.
NAMESPACE = uuid.UUID("5c0f2b0e-3f0a-4e55-9a43-7d2b8f4e1c61")


def stable_guid(*parts):
    return "{%s}" % str(uuid.uuid5(NAMESPACE, "/".join(parts))).upper()


def registration(classes, threading, library, interfaces, dll, platform, shared, view=""):
    """The (key, value name, value) triples the DLL's registration writes,
    relative to the classes root. `shared` adds what both builds of the
    library write alike (program ids, the type library's own values); in the
    x64 package the 64-bit component carries those once. `view` goes in front
    of the keys that 64-bit Windows keeps per view (classes and interfaces)."""
    libid = "{%s}" % library["uuid"]
    version = library["version"]
    rows = []
    for c in classes:
        key = view + "CLSID\\" + c.clsid
        rows += [
            (key, None, c.prog_id),
            (key + "\\InprocServer32", None, dll),
            (key + "\\InprocServer32", "ThreadingModel", threading),
            (key + "\\ProgID", None, c.prog_id),
            (key + "\\TypeLib", None, libid),
            (key + "\\Version", None, version),
        ]
        if shared:
            rows += [(c.prog_id, None, c.prog_id), (c.prog_id + "\\CLSID", None, c.clsid)]
    typelib = "TypeLib\\%s\\%s" % (libid, version)
    rows.append((typelib + "\\0\\" + platform, None, dll))
    if shared:
        rows += [
            (typelib, None, library["help"]),
            (typelib + "\\FLAGS", None, "0"),
            (typelib + "\\HELPDIR", None, "[INSTALLDIR]"),
        ]
    # Interface keys live in each view on 64-bit Windows: both components write them.
    for interface in interfaces:
        key = view + "Interface\\{%s}" % interface.uuid
        rows += [
            (key, None, interface.name),
            (key + "\\ProxyStubClsid", None, AUTOMATION_MARSHALER),
            (key + "\\ProxyStubClsid32", None, AUTOMATION_MARSHALER),
            (key + "\\TypeLib", None, libid),
            (key + "\\TypeLib", "Version", version),
        ]
    return rows


def registry_xml(root, rows, indent):
    lines = []
    for key, name, value in rows:
        attrs = 'Root=%s Key=%s' % (quoteattr(root), quoteattr("Software\\Classes\\" + key))
        if name:
            attrs += " Name=%s" % quoteattr(name)
        lines.append('%s<RegistryValue %s Type="string" Value=%s/>' % (indent, attrs, quoteattr(value)))
    return "\n".join(lines)


# The options that name a file the package carries (tools/build_msi.py
# packs copies of them).
PACKAGED_FILES = ("dll", "tlb", "program", "dll32", "tlb32")


def parse_args(argv=None):
    parser = argparse.ArgumentParser()
    for option in ("arch", "scope", "version", "idl", "classes", "threading", "dll", "tlb", "program", "out"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--dll32")
    parser.add_argument("--tlb32")
    args = parser.parse_args(argv)
    if args.arch not in ("x64", "x86") or args.scope not in ("machine", "user"):
        sys.exit("wix_source: --arch x64|x86, --scope machine|user")
    if (args.arch == "x64") != bool(args.dll32 and args.tlb32):
        sys.exit("wix_source: the x64 package carries the x86 DLL (--dll32, --tlb32); the x86 package does not")
    return args


def write_wxs(args):
    # wixl finds files relative to the folder it runs in (that of the .wxs).
    here = os.path.dirname(os.path.abspath(args.out))
    for option in PACKAGED_FILES:
        if getattr(args, option):
            setattr(args, option, os.path.relpath(os.path.abspath(getattr(args, option)), here))

    try:
        published = read_registration(args.idl, args.classes, args.threading)
    except Error as e:
        sys.exit("wix_source: " + str(e))
    library, classes, threading, interfaces = (published.library, published.classes, published.threading,
                                               published.interfaces)

    x64 = args.arch == "x64"
    machine = args.scope == "machine"
    root = "HKLM" if machine else "HKCU"
    kind = "%s/%s" % (args.arch, args.scope)
    win64 = ' Win64="yes"' if x64 else ""
    name = "Tessary %s (%s%s)" % (args.version, args.arch, "" if machine else ", current user")

    component = lambda part: stable_guid("Tessary", kind, part)  # noqa: E731

    # Folders the package may have made go again at removal when empty.
    def removed_when_empty(directory):
        return """<Component Id="Remove%s" Guid="%s"%s>
            <RemoveFolder Id="Remove%sFolder" On="uninstall"/>
          </Component>""" % (directory, component("remove-" + directory), win64, directory)

    if machine:
        top = '<Directory Id="%s">' % ("ProgramFiles64Folder" if x64 else "ProgramFilesFolder")
        top_end = "</Directory>"
    else:
        top = ('<Directory Id="LocalAppDataFolder"><Directory Id="UserPrograms" Name="Programs">\n          '
               + removed_when_empty("UserPrograms"))
        top_end = "</Directory></Directory>"

    library64 = registration(classes, threading, library, interfaces, "[INSTALLDIR]Tessary.dll",
                             "win64" if x64 else "win32", shared=True)
    x86_part = ""
    if x64:
        # Per machine, a 32-bit component writes the 32-bit view. The user's
        # classes are kept per view too from Windows 7 on, but Wine does not
        # redirect them: the per-user package names the 32-bit view's keys
        # (Wow6432Node) itself, from a 64-bit component, which puts them in
        # the same place on both.
        library32 = registration(classes, threading, library, interfaces, "[X86DIR]Tessary.dll", "win32",
                                 shared=False, view="" if machine else "Wow6432Node\\")
        x86_part = """
              <Directory Id="X86DIR" Name="x86">
                <Component Id="Library32" Guid="%s"%s>
                  <File Id="Dll32" Name="Tessary.dll" Source=%s KeyPath="yes"/>
                  <File Id="Tlb32" Name="Tessary.tlb" Source=%s/>
%s
                </Component>
              </Directory>""" % (component("library32"), "" if machine else win64, quoteattr(args.dll32), quoteattr(args.tlb32),
                                 registry_xml(root, library32, " " * 18))

    launch = ""
    if not x64:
        launch = """
    <Condition Message="This package is for 32-bit Windows. On 64-bit Windows install Tessary-%s-x64%s.msi, which registers both the 64-bit and the 32-bit library.">NOT VersionNT64</Condition>""" % (
            args.version, "" if machine else "-peruser")

    wxs = """<?xml version="1.0" encoding="utf-8"?>
<!-- Generated by tools/wix_source.py: the %(kind)s package of Tessary. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="%(product)s" Name=%(name)s Language="1033" Version="%(version)s" Manufacturer="Halvex"
           UpgradeCode="%(upgrade)s">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="%(scope)s" Manufacturer="Halvex"
             Description=%(name)s Comments="Halvex Application Control: the Tessary automation library and Dovetta"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of Tessary is already installed."/>%(launch)s
    <Media Id="1" Cabinet="tessary.cab" EmbedCab="yes"/>
    <Property Id="ARPCOMMENTS" Value="Halvex Application Control"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      %(top)s
        <Directory Id="HalvexDir" Name="Halvex">
          %(remove_halvex)s
          <Directory Id="INSTALLDIR" Name="Tessary">
            <Component Id="Library" Guid="%(library_guid)s"%(win64)s>
              <File Id="Dll" Name="Tessary.dll" Source=%(dll)s KeyPath="yes"/>
              <File Id="Tlb" Name="Tessary.tlb" Source=%(tlb)s/>
%(registry)s
            </Component>
            <Component Id="Program" Guid="%(program_guid)s"%(win64)s>
              <File Id="Dovetta" Name="Dovetta.exe" Source=%(program)s KeyPath="yes"/>
            </Component>%(x86_part)s
          </Directory>
        </Directory>
      %(top_end)s
      <Directory Id="ProgramMenuFolder">
        <Directory Id="MenuDir" Name="Tessary">
          <Component Id="Menu" Guid="%(menu_guid)s"%(win64)s>
            <Shortcut Id="DovettaShortcut" Name="Dovetta" Target="[INSTALLDIR]Dovetta.exe" WorkingDirectory="INSTALLDIR"
                      Description="Switches the Internet autodial setting"/>
            <RemoveFolder Id="RemoveMenuDir" On="uninstall"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Title="Tessary" Level="1">
      <ComponentRef Id="Library"/>
      <ComponentRef Id="Program"/>
      <ComponentRef Id="Menu"/>
      <ComponentRef Id="RemoveHalvexDir"/>%(user_ref)s%(x86_ref)s
    </Feature>
  </Product>
</Wix>
""" % {
        "kind": kind,
        "product": stable_guid("Tessary", kind, args.version, "product"),
        "upgrade": stable_guid("Tessary", kind, "upgrade"),
        "name": quoteattr(name),
        "version": args.version,
        "scope": "perMachine" if machine else "perUser",
        "launch": launch,
        "top": top,
        "top_end": top_end,
        "library_guid": component("library"),
        "program_guid": component("program"),
        "menu_guid": component("menu"),
        "win64": win64,
        "dll": quoteattr(args.dll),
        "tlb": quoteattr(args.tlb),
        "program": quoteattr(args.program),
        "registry": registry_xml(root, library64, " " * 14),
        "x86_part": x86_part,
        "remove_halvex": removed_when_empty("HalvexDir"),
        "user_ref": "" if machine else '\n      <ComponentRef Id="RemoveUserPrograms"/>',
        "x86_ref": '\n      <ComponentRef Id="Library32"/>' if x64 else "",
    }
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(wxs)


if __name__ == "__main__":
    write_wxs(parse_args())
