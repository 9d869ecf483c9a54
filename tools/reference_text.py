"""reference.txt, the description of what Tessary.idl publishes, read and
checked against the IDL for the generators of help strings and reference.

    load(idl path, reference.txt path) -> (IDL text, library, types, entries)

The two files must describe the same things: each type, member and
enumeration value of the IDL has an entry with a help line (members also a
failure style and an example), and each entry names something the IDL has.
A mismatch raises Error with the list of what is wrong.
"""
import re

from interface_model import Error, parse_idl

FAILURE_STYLES = ("raised", "passed through", "swallowed", "shown", "none")


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


def load(idl_path, table_path):
    with open(idl_path, encoding="utf-8") as f:
        text = f.read()
    library, types = parse_idl(text)
    entries = parse_table(table_path)
    check(types, entries)
    return text, library, types, entries
