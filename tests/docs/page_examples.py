#!/usr/bin/env python3
"""Runs the script examples of the documentation pages with the real script
host, as pasted by a user.

    page_examples.py <source root> <headless|sound> <script-test> <work folder>

The examples: every member's one-line example and every class's own example
in docs/reference.md, and every ```vb and ```js block of README.md and
docs/*.md. Those that use xMixer run in the "sound" group (the prefix with
a mixer), the others in "headless".

Each example runs in a procedure of its own, after what it needs (the class's
own example makes the object; SET_UP below adds the rest) and with the
message log emptied; it passes when it raised no error and the library showed
no message. The VBScript runs under Option Explicit (the shared assertions
start with it): the variables an example uses without declaring them are
declared for it, as a script without Option Explicit would have them, except
the type library's constants, which script hosts do not see, so an example
that uses one without declaring it fails. An example whose comment says
"VBA" needs a form (it names Me) and is not run; the marking is checked both
ways.

scripts/script-test runs the scripts and decides by their summary line. A
script that ends without one (a syntax error anywhere stops VBScript and
JScript before the first line) is run again with fewer examples to name the
first example that stops it.
"""
import os
import re
import subprocess
import sys

# What an example needs before it runs, by "Class.Member" or a class alone
# (all its examples; a member's own entry comes after). Files and folders are
# on the test prefix's drive C:, keys below HKEY_CURRENT_USER\Software\Halvex:
# the script's CleanUp removes the SCRATCH_ ones below before and after the run.
SET_UP = {
    "xRegistry": 'reg.ClassKey = &H80000001 : reg.SectionKey = "Software\\Halvex\\Viewer"',
    "xRegistry.DeleteKey": "reg.CreateKey",
    "xRegistry.DeleteValue": 'reg.ValueKey = "Colour" : reg.ValueType = 1 : reg.Value = "blue"',
    "xRegistry.RegSysGet": 'reg.RegSet "Viewer", "Colour", "blue"',
    # A document open on a page, written into a file, as drawing needs.
    "xPrinter": 'prn.StartDoc "Reference example", "C:\\TessaryExamples\\page.ps" : prn.StartPage',
    "xMixer": "mix.Details",
}
# The bracket's own members run without the document SET_UP opens.
NO_CLASS_SET_UP = {"xPrinter.StartDoc", "xPrinter.StartPage", "xPrinter.EndPage", "xPrinter.EndDoc",
                   "xPrinter.OK", "xPrinter.ShowPrinter", "xPrinter.PrintInit", "xPrinter.Orientation"}
AFTER = {
    "xPrinter": "prn.EndPage : prn.EndDoc",
}
# Examples this platform cannot run: why, and a statement that fails here
# with that error number for that reason. The statement runs instead of the
# example; once it no longer fails so, the test fails until the example runs.
NOT_RUN = {
    "xPrinter.PaintPicture": ("Wine's VBScript has no LoadPicture", 445,
                              'Set p = LoadPicture("C:\\TessaryExamples\\picture.bmp")'),
}
# The scratch files and folders the examples name, made before every example.
SCRATCH_FILES = ["C:\\Data\\old.txt", "C:\\Data\\a.txt", "C:\\Data\\a.tmp", "C:\\Data\\b.tmp"]
SCRATCH_FOLDERS = ["C:\\TessaryExamples", "C:\\Data", "C:\\Archive", "C:\\Backup", "C:\\out"]
SCRATCH_KEYS = ["HKCU\\Software\\Halvex\\Viewer", "HKCU\\Software\\Example", "HKCR\\.hvw", "HKCR\\Halvex.View"]
SCRATCH_VALUES = [("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Clock")]
# The shortcut ShellAdd's example puts into the Startup folder (CSIDL 7).
SCRATCH_SHORTCUT = "clock.lnk"
# The names of the harness that set-ups may use.
HARNESS_NAMES = {"g_fso"}

VB_WORDS = set("""
and as byref byval call case class const dim do each else elseif empty end eqv erase error exit explicit false
for function get goto if imp in is let loop me mod new next not nothing null on option or preserve private
property public redim rem resume select set step stop sub then to true until wend while with xor
abs array asc atn cbool cbyte ccur cdate cdbl chr cint clng cos createobject csng cstr date dateadd datediff
datepart dateserial datevalue day err eval execute exp filter fix formatcurrency formatdatetime formatnumber
formatpercent getobject getref hex hour inputbox instr instrrev int isarray isdate isempty isnull isnumeric
isobject join lbound lcase left len loadpicture log ltrim mid minute month monthname msgbox now oct replace
rgb right rnd round rtrim second sgn sin space split sqr strcomp string strreverse tan time timer timeserial
timevalue trim typename ubound ucase vartype weekday weekdayname wscript year
""".split())


class Example:
    def __init__(self, where, label, language, code, group, setup=(), after=()):
        self.where = where        # "docs/reference.md:123"
        self.label = label        # "xRegistry.Value" or the block's first line
        self.language = language  # "vb" or "js"
        self.code = code
        self.group = group
        self.setup = list(setup)
        self.after = list(after)

    def name(self):
        return "%s (%s)" % (self.where, self.label)


def group_of(code, section=None):
    return "sound" if section == "xMixer" or "Tessary.xMixer" in code else "headless"


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        return f.read().split("\n")


def fenced_blocks(lines):
    """(line number of the first line inside, language, text) of each fenced block."""
    i = 0
    while i < len(lines):
        opening = re.match(r"^```(\w*)\s*$", lines[i])
        i += 1
        if opening:
            start = i
            while i < len(lines) and not lines[i].startswith("```"):
                i += 1
            yield start + 1, opening.group(1), "\n".join(lines[start:i])
            i += 1


def reference_examples(lines, relative):
    """The reference's examples: each class's own (its first ```vb block,
    which makes the object) and each member's "- **Example:**" line, run
    after the class's own and what SET_UP adds."""
    blocks = {number: text for number, language, text in fenced_blocks(lines) if language == "vb"}
    creation, members = {}, []
    section = member = None
    for number, line in enumerate(lines, 1):
        heading = re.match(r"^(#{2,3}) (\w+)\s*$", line)
        if heading and heading.group(1) == "##":
            section, member = heading.group(2), None
        elif heading:
            member = heading.group(2)
        elif number + 1 in blocks and section not in creation:
            creation[section] = (number + 1, blocks[number + 1])
        example = re.match(r"^- \*\*Example:\*\* `(.+)`$", line)
        if example and section in creation:
            members.append((number, section, "%s.%s" % (section, member), example.group(1)))
    result = [Example("%s:%d" % (relative, number), section, "vb", code, group_of(code, section))
              for section, (number, code) in creation.items()]
    for number, section, label, code in members:
        in_bracket = label not in NO_CLASS_SET_UP
        setup = [creation[section][1]]
        if in_bracket and section in SET_UP:
            setup.append(SET_UP[section])
        if label in SET_UP:
            setup.append(SET_UP[label])
        after = [AFTER[section]] if in_bracket and section in AFTER else []
        result.append(Example("%s:%d" % (relative, number), label, "vb", code, group_of(code, section), setup, after))
    return result


def page_examples(root):
    pages = [os.path.join(root, "README.md")]
    docs = os.path.join(root, "docs")
    pages += [os.path.join(docs, name) for name in sorted(os.listdir(docs)) if name.endswith(".md")]
    examples = []
    for path in pages:
        relative = os.path.relpath(path, root)
        lines = read_lines(path)
        if relative == os.path.join("docs", "reference.md"):
            examples += reference_examples(lines, relative)
            continue
        for number, language, text in fenced_blocks(lines):
            if language in ("vb", "js"):
                first = text.strip().split("\n")[0].strip()
                examples.append(Example("%s:%d" % (relative, number), first, language, text, group_of(text)))
    return examples


# ------------------------------------------------------------ VBScript

def code_and_comment(line):
    """A line of VBScript as its code, string literals emptied, and its comment."""
    bare = re.sub(r'"(?:[^"]|"")*"', '""', line)
    quote = bare.find("'")
    return (bare, "") if quote < 0 else (bare[:quote], bare[quote + 1:])


def without_strings_and_comments(code):
    return "\n".join(code_and_comment(line)[0] for line in code.split("\n"))


def comments_of(code):
    return " ".join(code_and_comment(line)[1] for line in code.split("\n"))


def declared_names(code):
    names = set()
    for match in re.finditer(r"(?i)\b(?:dim|const)\s+([^:\n]+)", without_strings_and_comments(code)):
        for part in match.group(1).split(","):
            name = re.match(r"\s*(\w+)", part)
            if name:
                names.add(name.group(1).lower())
    return names


def free_names(code):
    """The names the code uses that VBScript does not know and it does not
    declare, in the order of first use: what a script without Option
    Explicit creates as variables."""
    bare = without_strings_and_comments(code)
    # Hexadecimal and octal literals (&H80000001, &O17) are not names.
    bare = re.sub(r"(?i)&[ho][0-9a-f]+&?", " ", bare)
    declared = declared_names(code)
    names = {}
    for match in re.finditer(r"(?<![\w.])([A-Za-z]\w*)", bare):
        low = match.group(1).lower()
        if low not in VB_WORDS and low not in HARNESS_NAMES and not low.startswith("vb") and low not in declared:
            names.setdefault(low, match.group(1))
    return list(names.values())


def uses_form(code):
    return re.search(r"(?i)(?<![\w.])me\.", without_strings_and_comments(code)) is not None


def vb_procedure(index, example, constants, log):
    if example.label in NOT_RUN:
        reason, number, probe = NOT_RUN[example.label]
        return ["' " + example.name() + ", not run: " + reason, "Sub Example%d()" % index,
                "    Dim " + ", ".join(free_names(probe)), "    On Error Resume Next", "    PrepareScratch",
                "    " + probe,
                '    CheckError %d, "%s is not run because %s: that no longer holds, run it"'
                % (number, example.name(), reason.replace('"', '""')),
                "End Sub", "Example%d" % index, ""]
    setup = "\n".join(example.setup)
    names = {}
    for part in (setup, example.code, "\n".join(example.after)):
        for name in free_names(part):
            if name.lower() not in constants:
                names.setdefault(name.lower(), name)
    names = list(names.values())
    label = example.name().replace('"', '""')
    lines = ["' " + example.name(), "Sub Example%d()" % index]
    if names:
        lines.append("    Dim " + ", ".join(names))
    lines += ["    On Error Resume Next", "    PrepareScratch"]
    if setup:
        lines += ["    " + line for line in setup.split("\n")]
    lines += ['    CheckError 0, "%s: its set-up"' % label,
              '    ClearMessages "%s"' % log]
    lines += ["    " + line for line in example.code.split("\n")]
    lines += ['    CheckError 0, "%s"' % label,
              '    CheckNoMessages "%s", "%s"' % (log, label)]
    if example.after:
        lines += ["    " + line for line in example.after]
        lines.append('    CheckError 0, "%s: after it"' % label)
    lines += ["End Sub", "Example%d" % index, ""]
    return lines


def vb_helpers():
    folders = ", ".join('"%s"' % f for f in SCRATCH_FOLDERS)
    files = ", ".join('"%s"' % f for f in SCRATCH_FILES)
    keys = ", ".join('"%s"' % k for k in SCRATCH_KEYS)
    values = "\n".join('    RegDelete "%s", "%s"' % kv for kv in SCRATCH_VALUES)
    return """
Dim g_fso : Set g_fso = CreateObject("Scripting.FileSystemObject")

' The scratch folders and files the examples name, made afresh.
Sub PrepareScratch()
    Dim folder, file
    For Each folder In Array(%(folders)s)
        If Not g_fso.FolderExists(folder) Then g_fso.CreateFolder folder
    Next
    For Each file In Array(%(files)s)
        If Not g_fso.FileExists(file) Then g_fso.CreateTextFile(file).Close
    Next
End Sub

' Everything the examples may have made or changed, removed.
Sub CleanUp()
    Dim folder, key, shortcut
    On Error Resume Next
    For Each folder In Array(%(folders)s)
        If g_fso.FolderExists(folder) Then g_fso.DeleteFolder folder, True
        CheckError 0, "clean-up: removing " & folder
    Next
    For Each key In Array(%(keys)s)
        RegDelete key, ""
    Next
%(values)s
    shortcut = CreateObject("Tessary.xApplication").FolderSpecial(7) & "%(shortcut)s"
    If g_fso.FileExists(shortcut) Then g_fso.DeleteFile shortcut
    CheckError 0, "clean-up: removing " & shortcut
End Sub

Sub ClearMessages(log)
    If g_fso.FileExists(log) Then g_fso.DeleteFile log
End Sub

' The library records a message it would show in the log (TESSARY_MESSAGE_LOG).
Sub CheckNoMessages(log, label)
    Dim shown
    shown = ""
    If g_fso.FileExists(log) Then
        Dim f : Set f = g_fso.OpenTextFile(log, 1)
        If Not f.AtEndOfStream Then shown = f.ReadAll
        f.Close
        If shown = "" Then shown = "(an empty record)"
    End If
    Check shown = "", label & ": showed a message: " & shown
End Sub
""" % {"folders": folders, "files": files, "keys": keys, "values": values, "shortcut": SCRATCH_SHORTCUT}


# The sound group needs the mixer of its prefix: without one (a machine
# without ALSA's libraries for this architecture) it reports as skipped.
NEEDS_MIXER = """
If Not CreateObject("Tessary.xMixer").bMix Then
    WScript.Echo "skipped: no mixer device (the sound prefix's ALSA null device is missing)"
    WScript.Quit 77
End If
"""


def vb_script(examples, constants, log):
    lines = [vb_helpers(), "CleanUp"]
    if any(e.group == "sound" for e in examples):
        lines.insert(0, NEEDS_MIXER)
    for index, example in enumerate(examples, 1):
        lines += vb_procedure(index, example, constants, log)
    lines += ["CleanUp", "Summary"]
    return "\n".join(lines) + "\n"


# ------------------------------------------------------------ JScript

def js_script(examples):
    lines = []
    for index, example in enumerate(examples, 1):
        label = example.name().replace("\\", "\\\\").replace('"', '\\"')
        lines += ["// " + example.name(), "(function () {", "    try {"]
        lines += ["        " + line for line in example.code.split("\n")]
        lines += ['        check(true, "%s");' % label,
                  '    } catch (e) { check(false, "%s: error " + e.number + " " + e.message); }' % label,
                  "})();", ""]
    lines.append("summary();")
    return "\n".join(lines) + "\n"


# ------------------------------------------------------------ running

def type_library_constants(root):
    sys.path.insert(0, os.path.join(root, "tools"))
    from interface_model import parse_idl
    with open(os.path.join(root, "library", "frame", "Tessary.idl"), encoding="utf-8") as f:
        _, types = parse_idl(f.read())
    return {name.lower() for t in types if t.kind == "enum" for name, _ in t.values}


def problems_before_running(examples, constants):
    """What the examples' text alone shows to be wrong."""
    problems = []
    for example in examples:
        if example.language != "vb":
            continue
        vba = "VBA" in comments_of(example.code)
        if uses_form(example.code) and not vba:
            problems.append("%s: names Me, which only a VBA form has: say \"VBA\" in its comment" % example.name())
        if vba and not uses_form(example.code):
            problems.append("%s: says VBA but needs no form: make it run as VBScript" % example.name())
        for name in free_names(example.code):
            if name.lower() in constants:
                problems.append("%s: uses the type library's constant %s, which script hosts do not see: "
                                "write its value or declare it" % (example.name(), name))
    return problems


def run(script_test, work, name, text, env):
    path = os.path.join(work, name)
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        f.write(text)
    done = subprocess.run([script_test, path], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True)
    return done.returncode, done.stdout


def first_that_stops(examples, output_of):
    """The first example whose script, run with the examples before it,
    ends without its summary line (a binary search over the lengths)."""
    low, high = 0, len(examples)  # the first `low` run to the end; all `high` do not
    while high - low > 1:
        middle = (low + high) // 2
        if "summary line" in output_of(examples[:middle]):
            high = middle
        else:
            low = middle
    return examples[high - 1] if high else None


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main(argv):
    if len(argv) != 5:
        sys.exit(__doc__)
    root, group, script_test, work = argv[1:]
    os.makedirs(work, exist_ok=True)
    constants = type_library_constants(root)
    examples = [e for e in page_examples(root) if e.group == group]
    runnable = [e for e in examples if not (e.language == "vb" and "VBA" in comments_of(e.code))]
    for e in examples:
        if e not in runnable:
            print("not run (VBA, needs a form): %s: %s" % (e.name(), e.code))
        elif e.label in NOT_RUN:
            print("not run (%s): %s: %s" % (NOT_RUN[e.label][0], e.name(), e.code))
    problems = problems_before_running(examples, constants)

    log_path = os.path.join(work, group + "-messages.log")
    env = dict(os.environ, TESSARY_MESSAGE_LOG=windows_path(log_path))
    if group == "sound" and not os.path.isfile(os.environ.get("ALSA_CONFIG_PATH", "")):
        # A tree whose programs this machine cannot run has no sound prefix:
        # an empty script tells, as the script host then skips.
        if run(script_test, work, "page-examples-probe.vbs", "", env)[0] == 77:
            return 77
        print("FAIL: ALSA_CONFIG_PATH does not name the sound prefix's ALSA settings")
        return 1
    verdict = 0
    for language, extension, make in (("vb", "vbs", lambda ex: vb_script(ex, constants, windows_path(log_path))),
                                      ("js", "js", js_script)):
        chosen = [e for e in runnable if e.language == language]
        if not chosen:
            continue
        name = "page-examples-%s.%s" % (group, extension)
        rc, output = run(script_test, work, name, make(chosen), env)
        print(output, end="")
        if rc == 77:
            return 77
        print("%s: %d examples, %s" % (name, len(chosen), "passed" if rc == 0 else "FAILED"))
        if rc != 0:
            verdict = 1
            if "summary line" in output:
                culprit = first_that_stops(chosen, lambda part: run(script_test, work, name, make(part), env)[1])
                if culprit:
                    print("stops the script (a syntax error, or the host ended): %s:\n    %s"
                          % (culprit.name(), culprit.code.replace("\n", "\n    ")))
    for problem in problems:
        print("FAIL: " + problem)
    if problems:
        verdict = 1
    if not examples:
        print("FAIL: no examples found for the group " + group)
        verdict = 1
    return verdict


if __name__ == "__main__":
    sys.exit(main(sys.argv))
