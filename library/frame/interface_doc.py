#!/usr/bin/env python3
"""Joins Tessary.idl (what is published) and reference.txt (what it does).

    interface_doc.py idl       <Tessary.idl> <reference.txt> <out.idl>
        the IDL with a helpstring on every class, interface and member
    interface_doc.py enum-help <Tessary.idl> <reference.txt> <out.tsv>
        "<Enumeration>.<VALUE><TAB><help>" lines for tlb_enum_help.py
    interface_doc.py reference <Tessary.idl> <reference.txt> <out.md>
        docs/reference.md

Every mode first checks that the two files describe the same things: each
type, member and enumeration value of the IDL has an entry with a help line
(members also a failure style and an example), and each entry names
something the IDL has. A mismatch stops with the list of what is wrong.
"""
import re
import sys

FAILURE_STYLES = ("raised", "passed through", "swallowed", "shown", "none")

TYPE_NAMES = {
    "BSTR": "String",
    "long": "Long",
    "short": "Integer",
    "float": "Single",
    "VARIANT_BOOL": "Boolean",
    "VARIANT": "Variant",
    "SAFEARRAY(BSTR)": "String array",
    "SAFEARRAY(VARIANT)": "Variant array",
}


class Error(Exception):
    pass


# ---------------------------------------------------------------- the IDL

class Param:
    def __init__(self, attrs, type_text, name):
        self.name = name
        self.attrs = attrs
        self.pointer = type_text.endswith("*")
        self.type = type_text.rstrip("*").strip()
        default = re.search(r"defaultvalue\((.*)\)", attrs)
        self.default = default.group(1) if default else None
        self.optional = "optional" in attrs
        self.retval = "retval" in attrs
        self.by_reference = "out" in attrs and not self.retval


class Accessor:
    def __init__(self, kind, dispid, params, attr_end):
        self.kind = kind  # "get", "let" or "method"
        self.dispid = dispid
        self.params = [p for p in params if not p.retval]
        retval = [p for p in params if p.retval]
        self.result = retval[0].type if retval else None
        self.attr_end = attr_end  # where a helpstring goes in the IDL text


class Member:
    def __init__(self, name):
        self.name = name
        self.accessors = []

    def accessor(self, kind):
        return next((a for a in self.accessors if a.kind == kind), None)

    @property
    def is_field(self):
        return (self.accessors[0].dispid >> 16) == 0x4003


class Type:
    def __init__(self, kind, name, uuid, attr_end):
        self.kind = kind  # "interface", "coclass" or "enum"
        self.name = name
        self.uuid = uuid
        self.attr_end = attr_end
        self.members = {}  # name -> Member, in slot order (interfaces)
        self.values = []  # (name, value text) (enumerations)
        self.default_interface = None  # (coclasses)


def blank_comments(text):
    """The text with comments and cpp_quote lines overwritten by spaces, so that
    positions found in it are positions in the original."""
    def blank(match):
        return re.sub(r"[^\n]", " ", match.group(0))
    text = re.sub(r"//[^\n]*", blank, text)
    return re.sub(r'cpp_quote\("(?:[^"\\]|\\.)*"\)', blank, text)


def split_top_level(text):
    parts, depth, start = [], 0, 0
    for i, c in enumerate(text):
        if c in "([":
            depth += 1
        elif c in ")]":
            depth -= 1
        elif c == "," and depth == 0:
            parts.append(text[start:i])
            start = i + 1
    parts.append(text[start:])
    return [p.strip() for p in parts if p.strip()]


def parse_param(text):
    match = re.fullmatch(r"\[(.*?)\]\s*(.+?)\s*(\w+)", text, re.S)
    if not match:
        raise Error("cannot read the parameter: " + text)
    return Param(match.group(1), re.sub(r"\s+", "", match.group(2)), match.group(3))


def attr_end(match, group="attrs"):
    """Offset of the closing bracket of an attribute list."""
    return match.end(group)


def uuid_of(attrs):
    found = re.search(r"uuid\(([0-9A-Fa-f-]+)\)", attrs)
    return found.group(1).upper() if found else None


def parse_idl(text):
    clean = blank_comments(text)
    types = []
    library = re.search(r"\[(?P<attrs>[^\]]*)\]\s*library\s+(?P<name>\w+)", clean)
    library_info = {
        "name": library.group("name"),
        "uuid": uuid_of(library.group("attrs")),
        "version": re.search(r"version\(([\d.]+)\)", library.group("attrs")).group(1),
        "help": re.search(r'helpstring\("([^"]*)"\)', text[library.start():library.end()]).group(1),
    }

    for m in re.finditer(r"typedef\s*\[(?P<attrs>[^\]]*)\]\s*enum\s+(?P<name>\w+)\s*\{(?P<body>.*?)\}", clean, re.S):
        enum = Type("enum", m.group("name"), uuid_of(m.group("attrs")), attr_end(m))
        for value in split_top_level(m.group("body")):
            name, _, number = value.partition("=")
            enum.values.append((name.strip(), number.strip()))
        types.append(enum)

    member_pattern = re.compile(r"\[(?P<attrs>[^\]]*)\]\s*HRESULT\s+(?P<name>\w+)\s*\((?P<params>.*?)\)\s*;", re.S)
    for m in re.finditer(r"\[(?P<attrs>[^\]]*)\]\s*interface\s+(?P<name>\w+)\s*:\s*IDispatch\s*\{(?P<body>.*?)\};",
                         clean, re.S):
        interface = Type("interface", m.group("name"), uuid_of(m.group("attrs")), attr_end(m))
        body_start = m.start("body")
        for f in member_pattern.finditer(m.group("body")):
            attrs = f.group("attrs")
            kind = "get" if "propget" in attrs else "let" if "propput" in attrs else "method"
            dispid = int(re.search(r"id\((0x[0-9A-Fa-f]+)\)", attrs).group(1), 16)
            params = [parse_param(p) for p in split_top_level(f.group("params"))]
            member = interface.members.setdefault(f.group("name"), Member(f.group("name")))
            member.accessors.append(Accessor(kind, dispid, params, body_start + f.end("attrs")))
        types.append(interface)

    for m in re.finditer(r"\[(?P<attrs>[^\]]*)\]\s*coclass\s+(?P<name>\w+)\s*\{(?P<body>.*?)\};", clean, re.S):
        coclass = Type("coclass", m.group("name"), uuid_of(m.group("attrs")), attr_end(m))
        coclass.default_interface = re.search(r"\[default\]\s*interface\s+(\w+)", m.group("body")).group(1)
        types.append(coclass)
    return library_info, types


# ---------------------------------------------------------------- the table

class Entry:
    def __init__(self, name, line):
        self.name = name
        self.line = line
        self.fields = {}
        self.members = {}  # for a [Type]: name -> Entry


def parse_table(path):
    entries = {}
    current_type = current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            where = "%s:%d" % (path, number)
            header = re.fullmatch(r"\[(\w+)\]", line)
            field = re.fullmatch(r"\s*(help|fails|example|note):\s*(.+)", line)
            if header:
                current_type = current = Entry(header.group(1), where)
                if current.name in entries:
                    raise Error(where + ": " + current.name + " described twice")
                entries[current.name] = current_type
            elif re.fullmatch(r"\w+", line):
                if current_type is None:
                    raise Error(where + ": member outside a [Type]")
                current = Entry(line, where)
                if line in current_type.members:
                    raise Error(where + ": " + line + " described twice")
                current_type.members[line] = current
            elif field and current is not None:
                if field.group(1) in current.fields:
                    raise Error(where + ": second " + field.group(1) + " line")
                current.fields[field.group(1)] = field.group(2).strip()
            else:
                raise Error(where + ": cannot read: " + line)
    return entries


def check(types, entries):
    problems = []
    known = {t.name: t for t in types}
    for t in types:
        entry = entries.get(t.name)
        if entry is None:
            problems.append("%s %s has no entry" % (t.kind, t.name))
            continue
        if "help" not in entry.fields:
            problems.append("%s: no help line" % t.name)
        if t.kind == "coclass" and "example" not in entry.fields:
            problems.append("%s: no example line" % t.name)
        if t.kind == "coclass" and entry.members:
            problems.append("%s: members belong under [%s]" % (t.name, t.default_interface))
        names = [v[0] for v in t.values] if t.kind == "enum" else list(t.members)
        for name in names:
            member = entry.members.get(name)
            if member is None:
                problems.append("%s.%s has no entry" % (t.name, name))
                continue
            needed = ("help",) if t.kind == "enum" else ("help", "fails", "example")
            for field in needed:
                if field not in member.fields:
                    problems.append("%s.%s: no %s line" % (t.name, name, field))
            fails = member.fields.get("fails")
            if fails and not fails.startswith(FAILURE_STYLES):
                problems.append("%s.%s: failure style must start with one of %s" % (t.name, name, ", ".join(FAILURE_STYLES)))
        for name, member in entry.members.items():
            if name not in names:
                problems.append("%s: %s.%s is not in the IDL" % (member.line, t.name, name))
    for name, entry in entries.items():
        if name not in known:
            problems.append("%s: [%s] is not in the IDL" % (entry.line, name))
    for entry in list(entries.values()) + [m for e in entries.values() for m in e.members.values()]:
        help_line = entry.fields.get("help", "")
        if len(help_line) > 200:
            problems.append("%s: help line longer than 200 characters" % entry.line)
    if problems:
        raise Error("Tessary.idl and reference.txt disagree:\n  " + "\n  ".join(problems))


# ---------------------------------------------------------------- outputs

def idl_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_idl(text, types, entries):
    inserts = []  # (offset, text)
    for t in types:
        entry = entries[t.name]
        inserts.append((t.attr_end, ", helpstring(%s)" % idl_string(entry.fields["help"])))
        for member in t.members.values():
            help_line = entry.members[member.name].fields["help"]
            for accessor in member.accessors:
                inserts.append((accessor.attr_end, ", helpstring(%s)" % idl_string(help_line)))
    out = text
    for offset, insert in sorted(inserts, reverse=True):
        # Attribute lists may end on their own line: keep the bracket there.
        head = out[:offset].rstrip()
        out = head + insert + out[len(head):]
    header = ("// Generated by library/frame/interface_doc.py from Tessary.idl and reference.txt:\n"
              "// edit those, not this file.\n")
    return header + out


def write_enum_help(types, entries):
    lines = []
    for t in types:
        if t.kind == "enum":
            for name, _ in t.values:
                lines.append("%s.%s\t%s\n" % (t.name, name, entries[t.name].members[name].fields["help"]))
    return "".join(lines)


def type_name(type_text):
    return TYPE_NAMES.get(type_text, type_text)


def describe_param(p):
    words = ["`%s` %s" % (p.name, type_name(p.type)), "by reference" if p.by_reference else "by value"]
    if p.optional:
        words.append("optional" + (", default %s" % p.default if p.default is not None else ""))
    return ", ".join(words)


def describe_params(params):
    return "; ".join(describe_param(p) for p in params) if params else "none"


def member_kind(member):
    kinds = {a.kind for a in member.accessors}
    if kinds == {"method"}:
        return "method"
    if member.is_field:
        return "field, read and write"
    return "property, read and write" if kinds == {"get", "let"} else \
        "read-only property" if kinds == {"get"} else "write-only property"


def dispid_text(member):
    return "0x%08X" % member.accessors[0].dispid


def slots_text(interface, member):
    order = [(m.name, a) for m in interface.members.values() for a in m.accessors]
    return ", ".join("%d (%s)" % (i + 1, a.kind) for i, (name, a) in enumerate(order) if name == member.name)


def anchor(name):
    return name.lower()


def reference_member(interface, member, entry):
    lines = ["### %s" % member.name, "", entry.fields["help"], ""]
    lines.append("- **Kind:** %s; dispatch id %s; slot %s" % (member_kind(member), dispid_text(member),
                                                              slots_text(interface, member)))
    get, let, method = member.accessor("get"), member.accessor("let"), member.accessor("method")
    if method:
        lines.append("- **Parameters:** " + describe_params(method.params))
        lines.append("- **Result:** " + (type_name(method.result) if method.result else "none"))
    else:
        if get and get.params:
            lines.append("- **Parameters:** " + describe_params(get.params))
        if get:
            lines.append("- **Read gives:** " + type_name(get.result))
        if let:
            value = let.params[-1]
            lines.append("- **Write takes:** %s, %s" % (type_name(value.type),
                                                          "by reference" if value.by_reference else "by value"))
    lines.append("- **Failure:** " + entry.fields["fails"])
    lines.append("- **Example:** `%s`" % entry.fields["example"])
    if "note" in entry.fields:
        lines += ["", entry.fields["note"]]
    lines.append("")
    return lines


def write_reference(library, types, entries):
    by_name = {t.name: t for t in types}
    coclasses = [t for t in types if t.kind == "coclass"]
    enums = [t for t in types if t.kind == "enum"]
    out = [
        "# Tessary reference",
        "",
        "<!-- Generated by library/frame/interface_doc.py from library/frame/Tessary.idl and",
        "     library/frame/reference.txt (which also gives the type library its help strings):",
        "     edit those and run scripts/reference.sh. -->",
        "",
        "Type library `%s` %s, {%s}: \"%s\". Every class below is created by its program id"
        % (library["name"], library["version"], library["uuid"], library["help"]),
        "(`CreateObject(\"Tessary.xRegistry\")`) or its class id. Script clients pass every argument as a",
        "variant; the library converts it to the type listed. A by-reference parameter is the caller's own",
        "variable, which some members change (each says so). Optional parameters may be left out.",
        "",
        "## How members fail",
        "",
        "- **raised**: the call fails with an automation error the caller can trap "
        "(`On Error Resume Next`, then `Err.Number`, `Err.Source` \"Tessary.cRegistry\", `Err.Description`). "
        "Numbers: 26001, -2147194455 and -2147194454.",
        "- **passed through**: a run-time error inside the member (for example 9, subscript out of range) "
        "reaches the caller as an automation error with the run-time's number and text.",
        "- **swallowed**: the member never fails; it returns a neutral result and leaves no error pending.",
        "- **shown**: the member shows a message box (for printer members: exclamation icon, caption "
        "\"Tessary\", the member's prefix, the error number, \". \" and the description) and returns "
        "normally with what it had so far; set `TESSARY_MESSAGE_LOG` to a file name to have such messages "
        "written there instead of shown.",
        "- **none**: the member has nothing that can fail.",
        "",
        "## Contents",
        "",
    ]
    for c in coclasses:
        out.append("- [%s](#%s)" % (c.name, anchor(c.name)))
    out.append("- [Enumerations](#enumerations)")
    out.append("")
    for c in coclasses:
        entry = entries[c.name]
        interface = by_name[c.default_interface]
        out += [
            "## %s" % c.name,
            "",
            entry.fields["help"],
            "",
            "Program id `%s.%s`, class id {%s}; default interface `%s` {%s}: %s"
            % (library["name"], c.name, c.uuid, interface.name, interface.uuid, entries[interface.name].fields["help"]),
            "",
            "```vb",
            entry.fields["example"],
            "```",
            "",
        ]
        if "note" in entry.fields:
            out += [entry.fields["note"], ""]
        for member in interface.members.values():
            out += reference_member(interface, member, entries[interface.name].members[member.name])
    out += ["## Enumerations", ""]
    for e in enums:
        entry = entries[e.name]
        out += ["### %s" % e.name, "", "%s {%s}" % (entry.fields["help"], e.uuid), "",
                "| Name | Value | Meaning |", "|---|---|---|"]
        for name, value in e.values:
            out.append("| `%s` | %s | %s |" % (name, value, entry.members[name].fields["help"]))
        out.append("")
    return "\n".join(out).rstrip("\n") + "\n"


def main(argv):
    if len(argv) != 5 or argv[1] not in ("idl", "enum-help", "reference"):
        sys.exit(__doc__)
    mode, idl_path, table_path, out_path = argv[1:]
    with open(idl_path, encoding="utf-8") as f:
        text = f.read()
    try:
        library, types = parse_idl(text)
        entries = parse_table(table_path)
        check(types, entries)
    except Error as e:
        sys.exit("interface_doc: " + str(e))
    if mode == "idl":
        result = write_idl(text, types, entries)
    elif mode == "enum-help":
        result = write_enum_help(types, entries)
    else:
        result = write_reference(library, types, entries)
    with open(out_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(result)


if __name__ == "__main__":
    main(sys.argv)
