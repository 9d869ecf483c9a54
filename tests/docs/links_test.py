#!/usr/bin/env python3
"""Every relative link in the repository's Markdown files resolves.

    links_test.py <source root>

Links are [text](target), ![alt](target), reference definitions
"[label]: target" and the href and src of HTML tags. Fenced code blocks and
code spans hold text, not links. A target with a scheme (https:, mailto:)
is left alone; any other must name a file or folder of the repository, and
an "#anchor" into a Markdown file one of its headings, by GitHub's rule
(see heading_anchor). Build outputs and release files are not in a fresh
checkout: they are written as code, not as links, and a link into a path
the repository ignores (the build trees) is refused even where it exists.

Before the repository, the checker runs on the planted cases of CASES, so a
checker that stopped finding broken links fails too.
"""
import fnmatch
import os
import re
import sys
import tempfile
import urllib.parse

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
ATX_HEADING = re.compile(r"^ {0,3}(#{1,6})(?:[ \t]+(.*?))?[ \t]*$")
SETEXT_UNDERLINE = re.compile(r"^ {0,3}(=+|-+)[ \t]*$")
REFERENCE_DEFINITION = re.compile(r"^ {0,3}\[[^\]]+\]:[ \t]*(<[^>]*>|\S+)")
HTML_LINK = re.compile(r"""<[a-zA-Z][^>]*?\b(?:href|src)\s*=\s*(?:"([^"]*)"|'([^']*)')""")
HTML_ANCHOR = re.compile(r"""<[a-zA-Z][^>]*?\b(?:id|name)\s*=\s*(?:"([^"]*)"|'([^']*)')""")
SCHEME = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")
CODE_SPAN = re.compile(r"(`+)(.+?)(?<!`)\1(?!`)")


def blank_code_spans(line):
    """The line with its code spans overwritten by spaces (columns kept)."""
    return CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line)


def prose_lines(text):
    """(line number, line) of the text outside fenced code blocks."""
    fence = None
    for number, line in enumerate(text.split("\n"), 1):
        opening = FENCE.match(line)
        if fence is None:
            if opening:
                fence = opening.group(1)
                continue
            yield number, line
        elif opening and opening.group(1)[0] == fence[0] and len(opening.group(1)) >= len(fence) \
                and not line.strip().strip(fence[0]):
            fence = None


def inline_destinations(line):
    """Targets of the inline links and images of one line: what follows "](",
    either <bracketed> or up to the first space or unbalanced parenthesis."""
    targets = []
    start = line.find("](")
    while start >= 0:
        i = start + 2
        while i < len(line) and line[i] in " \t":
            i += 1
        if line.startswith("<", i):
            end = line.find(">", i)
            if end > i:
                targets.append(line[i + 1:end])
        else:
            depth, j = 0, i
            while j < len(line) and not line[j].isspace():
                if line[j] == "(":
                    depth += 1
                elif line[j] == ")":
                    if depth == 0:
                        break
                    depth -= 1
                j += 1
            if j > i:
                targets.append(line[i:j])
        start = line.find("](", start + 2)
    return targets


def links_of(text):
    """(line number, target) of every link of a Markdown text."""
    for number, line in prose_lines(text):
        prose = blank_code_spans(line)
        for target in inline_destinations(prose):
            yield number, target
        definition = REFERENCE_DEFINITION.match(prose)
        if definition:
            yield number, definition.group(1).strip("<>")
        for match in HTML_LINK.finditer(prose):
            yield number, match.group(1) if match.group(1) is not None else match.group(2)


def heading_text(markdown):
    """What a heading shows: code without its backticks, links and images as
    their text, no emphasis markers or HTML tags."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", markdown)
    text = re.sub(r"<[^>]+>", "", text)
    text = text.replace("`", "").replace("*", "")
    return re.sub(r"(?<!\w)_+|_+(?!\w)", "", text).strip()


def heading_anchor(text):
    """GitHub's anchor of a heading: lower case, everything but letters,
    digits, "_", "-" and spaces dropped, each space a "-"."""
    return re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")


def anchors_of(text):
    """Every anchor a Markdown text offers: its headings (a repeated one
    gets "-1", "-2" ...) and the ids and names of its HTML tags."""
    anchors, seen = set(), {}
    previous = None
    for _, line in prose_lines(text):
        atx = ATX_HEADING.match(line)
        setext = SETEXT_UNDERLINE.match(line)
        heading = None
        if atx:
            heading = re.sub(r"[ \t]+#+$", "", atx.group(2) or "")
        elif setext and previous and previous.strip() and not previous.lstrip().startswith(("|", "-", "*", ">", "#")):
            heading = previous
        if heading is not None:
            base = heading_anchor(heading_text(heading))
            count = seen.get(base, 0)
            seen[base] = count + 1
            anchors.add(base if count == 0 else "%s-%d" % (base, count))
        for match in HTML_ANCHOR.finditer(line):
            anchors.add(match.group(1) if match.group(1) is not None else match.group(2))
        previous = line if not atx else None
    return anchors


class Repository:
    def __init__(self, root):
        self.root = os.path.realpath(root)
        self.ignored = []
        gitignore = os.path.join(self.root, ".gitignore")
        if os.path.exists(gitignore):
            with open(gitignore, encoding="utf-8") as f:
                self.ignored = [p.strip() for p in f if p.strip() and not p.startswith(("#", "!"))]
        self.anchor_cache = {}

    def is_ignored(self, relative):
        """Whether a path (relative to the root, "/" separated) lies in what
        the repository ignores: a pattern with a leading "/" matches the first
        component only, any other pattern any component."""
        parts = relative.split("/")
        for pattern in self.ignored:
            name = pattern.strip("/")
            anchored = pattern.startswith("/")
            candidates = parts[:1] if anchored else parts
            if any(fnmatch.fnmatchcase(part, name) for part in candidates):
                return True
        return False

    def markdown_files(self):
        for folder, folders, files in os.walk(self.root):
            relative = os.path.relpath(folder, self.root).replace(os.sep, "/")
            folders[:] = sorted(f for f in folders
                                if not f.startswith(".")
                                and not self.is_ignored(f if relative == "." else relative + "/" + f)
                                and not os.path.exists(os.path.join(folder, f, "CMakeCache.txt")))
            for name in sorted(files):
                if name.lower().endswith(".md"):
                    yield os.path.join(folder, name)

    def anchors(self, path):
        if path not in self.anchor_cache:
            with open(path, encoding="utf-8") as f:
                self.anchor_cache[path] = anchors_of(f.read())
        return self.anchor_cache[path]

    def problem(self, source, target):
        """Why a link of the file source to target does not resolve, or None."""
        if SCHEME.match(target) or target.startswith("//"):
            return None
        path, _, fragment = target.partition("#")
        path = urllib.parse.unquote(path)
        if not path:
            resolved = source
        elif path.startswith("/"):
            resolved = os.path.normpath(os.path.join(self.root, path.lstrip("/")))
        else:
            resolved = os.path.normpath(os.path.join(os.path.dirname(source), path))
        relative = os.path.relpath(resolved, self.root).replace(os.sep, "/")
        if relative == ".." or relative.startswith("../"):
            return "leads out of the repository"
        if relative != "." and self.is_ignored(relative):
            return "leads into what the repository ignores (write build outputs as code, not as links)"
        if not os.path.exists(resolved):
            return "no such file or folder"
        if path.endswith("/") and not os.path.isdir(resolved):
            return "not a folder"
        if fragment and resolved.lower().endswith(".md") and os.path.isfile(resolved):
            if urllib.parse.unquote(fragment) not in self.anchors(resolved):
                return "no heading with the anchor #" + fragment
        return None

    def check(self):
        """(problems, links checked, files read)."""
        problems, links, files = [], 0, 0
        for path in self.markdown_files():
            files += 1
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for number, target in links_of(text):
                links += 1
                why = self.problem(path, target)
                if why:
                    problems.append("%s:%d: (%s) %s" % (os.path.relpath(path, self.root), number, target, why))
        return problems, links, files


# Planted trees and what the checker must say about them: the parts every
# expected problem line contains, one per problem.
CASES = [
    ("a missing file", {"README.md": "See [the guide](docs/guide.md)."}, ["(docs/guide.md) no such file"]),
    ("a present file and folder", {"README.md": "[g](docs/guide.md), [d](docs/), [e](docs)", "docs/guide.md": "# G\n"}, []),
    ("a file named as a folder", {"README.md": "[g](guide.md/)", "guide.md": ""}, ["not a folder"]),
    ("a missing image", {"a.md": "![shot](shot.png)"}, ["(shot.png) no such file"]),
    ("a missing anchor in the same file", {"a.md": "# Title\n\nSee [below](#usage)."}, ["no heading with the anchor #usage"]),
    ("an anchor into another file", {"a.md": "[b](sub/b.md#which-dll-a-host-loads)",
                                     "sub/b.md": "# B\n\n## Which `DLL` a *host* loads?\n"}, []),
    ("an anchor of a renamed heading", {"a.md": "[b](b.md#old-name)", "b.md": "## New name\n"},
     ["no heading with the anchor #old-name"]),
    ("repeated headings", {"a.md": "## Run\n## Run\n[second](#run-1) [third](#run-2)"}, ["#run-2"]),
    ("a setext heading and an HTML anchor", {"a.md": "Set-up steps\n---\n<a name=\"top\"></a>\n[s](#set-up-steps) [t](#top)"}, []),
    ("punctuation, underscores and links in headings", {"a.md": "## `x64.docs.links`: [the](a.md) _links_ test, 100%\n"
                                                        "[t](#x64docslinks-the-links-test-100)"}, []),
    ("links inside code are text", {"a.md": "```sh\n[x](missing.md)\n```\n`[y](missing.md)` and ``[z](gone)``"}, []),
    ("a link into the build tree", {"a.md": "[dll](build/x64/bin/Tessary.dll)", "build/x64/bin/Tessary.dll": "",
                                    ".gitignore": "/build/\n"}, ["ignores"]),
    ("out of the repository", {"docs/a.md": "[up](../../elsewhere.md)"}, ["out of the repository"]),
    ("web addresses are not checked", {"a.md": "[w](https://example.invalid/x) [m](mailto:a@b.invalid)"}, []),
    ("a reference definition", {"a.md": "[guide][g]\n\n[g]: gone.md \"Title\""}, ["(gone.md) no such file"]),
    ("HTML links", {"a.md": "<img src=\"gone.png\" alt=\"\"> <a href='here.md'>h</a>", "here.md": ""}, ["(gone.png)"]),
    ("escaped spaces and titles", {"a.md": "[s](my%20notes.md \"Notes\") [t](<my notes.md>)", "my notes.md": ""}, []),
    ("Markdown files in ignored and build folders are not read",
     {"build/x.md": "[x](gone)", "out/CMakeCache.txt": "", "out/y.md": "[y](gone)", ".gitignore": "/build/\n"}, []),
]


def self_test():
    failures = []
    for name, files, expected in CASES:
        with tempfile.TemporaryDirectory() as root:
            for relative, text in files.items():
                path = os.path.join(root, relative)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
            problems, _, _ = Repository(root).check()
            matched = len(problems) == len(expected) and all(
                any(part in p for p in problems) for part in expected)
            if not matched:
                failures.append("%s: expected %s, found %s" % (name, expected or "nothing", problems or "nothing"))
    return failures


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    failures = self_test()
    if failures:
        print("FAIL: the checker misjudges planted links:\n  " + "\n  ".join(failures))
        return 1
    problems, links, files = Repository(argv[1]).check()
    for problem in problems:
        print(problem)
    if problems:
        print("FAIL: %d of %d links in %d Markdown files do not resolve" % (len(problems), links, files))
        return 1
    print("%d links in %d Markdown files resolve (and %d planted cases are judged right)" % (links, files, len(CASES)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
