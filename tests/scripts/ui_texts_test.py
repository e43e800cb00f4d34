#!/usr/bin/env python3
"""Fails when a text the user sees in a window (a translatable <string> of a
.ui file) names another system's parts or holds a known misspelling. Object
names and untranslated strings (style sheets) are no texts the user reads.
It first makes sure that it catches a planted text, so a check that has gone
blind fails too. --root checks another tree."""
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ET

# What must not be said, and what to say instead.
WORDS = [
    (r"\bwindows\b", "the system's own words (log in, suspend, ...)"),
    (r"\boutlook\b", "the system's mail program (sendmail)"),
    (r"internet explorer", "a web browser"),
    (r"\bmapi\b", "the system's mail program (sendmail)"),
    (r"dial-?\s?up", "Network connection"),
    (r"conveniant", "conveniently"),
    (r"occurence", "occurrence"),
    (r"occuring", "occurring"),
    (r"standyby", "standby"),
    (r"to displayed", "to be displayed"),
    (r"semicolan", "semicolon"),
    (r"\bthe the\b", "the"),
    (r"would like use", "would like to use"),
]
PATTERNS = [(re.compile(p, re.I), instead) for p, instead in WORDS]


def check_file(path, rel, problems):
    try:
        tree = ET.parse(path)
    except ET.ParseError as e:
        problems.append(f"{rel}: not readable: {e}")
        return
    for s in tree.iter("string"):
        if s.get("notr") == "true" or not s.text:
            continue
        for pattern, instead in PATTERNS:
            if pattern.search(s.text):
                problems.append(f"{rel}: {s.text!r}: say {instead}")


def check_tree(root):
    problems = []
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not d.startswith("build")]
        for name in sorted(files):
            if name.endswith(".ui"):
                path = os.path.join(folder, name)
                check_file(path, os.path.relpath(path, root), problems)
    return problems


PLANTED = """<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="rbMAPI">
 <property name="styleSheet"><string notr="true">/* Windows */</string></property>
 <property name="text"><string>%s</string></property>
</widget></ui>
"""


def self_check():
    """Each word in a planted text is caught; a clean text, an object name
    and an untranslated string are not."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "planted.ui")
        for text, caught in [("Wake Windows from Standby", True), ("Outlook Express", True),
                             ("(Internet Explorer only)", True), ("Use MAPI", True),
                             ("Internet Dialup", True), ("DialUp Options", True),
                             ("a dial-up line", True), ("First Occurence", True),
                             ("Start when I log in", False), ("Network Connection", False)]:
            with open(path, "w", encoding="utf-8") as f:
                f.write(PLANTED % text)
            if bool(check_tree(tmp)) != caught:
                return f"self-check: {text!r} {'missed' if caught else 'flagged'}"
    return None


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    if len(sys.argv) == 3 and sys.argv[1] == "--root":
        root = sys.argv[2]
    failed = self_check()
    if failed:
        print(failed)
        return 1
    problems = check_tree(os.path.abspath(root))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
