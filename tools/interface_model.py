"""What Tessary publishes, read from its sources for the build's generators.

    parse_idl(text)          the type library's identity and every enumeration,
                             dual interface and class of library/frame/Tessary.idl
    read_registration(idl, class table, class entry header)
                             what DllRegisterServer registers: the type library,
                             the rows of the server's class table
                             (library/server/class_table.cpp) with their threading
                             model (library/frame/class_entry.h), and the dual
                             interfaces

DllRegisterServer registers from the same class table and from the type
library widl compiles from the same IDL. Every generator of registration data
(the installer packages' WiX sources, the side-by-side assembly manifest)
reads them here, so that none of them can drift from what the DLL registers.
"""
import re

# The proxy/stub class of every dual interface: the platform's automation
# (type library) marshaler.
AUTOMATION_MARSHALER = "{00020424-0000-0000-C000-000000000046}"


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


# ---------------------------------------------------------------- the class table

class Class:
    def __init__(self, name, clsid, prog_id):
        self.name = name  # the coclass
        self.clsid = clsid  # "{...}", upper case
        self.prog_id = prog_id


def read_classes(table_path, header_path, coclasses):
    """([Class] in table order, threading model) of the server's class table.
    `coclasses` maps the IDL's coclass names to their types: every row must
    name one."""
    with open(table_path, encoding="utf-8") as f:
        rows = re.findall(r'\{\s*&CLSID_(\w+)\s*,\s*L"([^"]+)"', f.read())
    if not rows:
        raise Error("no classes found in " + table_path)
    with open(header_path, encoding="utf-8") as f:
        threading = re.search(r'kThreadingModel\[\]\s*=\s*L"([^"]+)"', f.read())
    if not threading:
        raise Error("no kThreadingModel in " + header_path)
    classes = []
    for name, prog_id in rows:
        if name not in coclasses:
            raise Error("the class table names %s, which the IDL does not publish" % name)
        classes.append(Class(name, "{%s}" % coclasses[name].uuid, prog_id))
    return classes, threading.group(1)


class Registration:
    """What DllRegisterServer writes, as data: the type library's identity
    (name, uuid, version, help), the classes in table order with their one
    threading model, and the dual interfaces RegisterTypeLib registers."""

    def __init__(self, library, classes, threading, interfaces):
        self.library = library
        self.classes = classes
        self.threading = threading
        self.interfaces = interfaces


def read_registration(idl_path, table_path, header_path):
    with open(idl_path, encoding="utf-8") as f:
        library, types = parse_idl(f.read())
    coclasses = {t.name: t for t in types if t.kind == "coclass"}
    classes, threading = read_classes(table_path, header_path, coclasses)
    return Registration(library, classes, threading, [t for t in types if t.kind == "interface"])
