"""Checks that the manual page tdx880(1) describes every command `tdx880 --help` lists.

Usage: man_page_check.py TOOL MAN_PAGE
"""

import re
import subprocess
import sys


def commands_of_help(tool):
    text = subprocess.run([tool, "--help"], check=True, capture_output=True, text=True).stdout
    names = []
    for line in text.splitlines():
        if not line.startswith("  ") or line.startswith("   ") or line.lstrip().startswith("-"):
            continue
        words = []
        for word in line.split():
            if not re.fullmatch(r"[a-z][a-z0-9-]*", word):
                break
            words.append(word)
        names.append(" ".join(words))
    return names


def entries_of_man_page(path):
    lines = open(path, encoding="utf-8").read().splitlines()
    entries = []
    for index, line in enumerate(lines[:-1]):
        if line == ".TP":
            head = re.sub(r"\\f[BIRP]", "", lines[index + 1]).replace("\\-", "-")
            entries.append(re.sub(r"^\.(B|BI|BR|IR) ", "", head).replace('"', "").strip())
    return entries


def main():
    names = commands_of_help(sys.argv[1])
    entries = entries_of_man_page(sys.argv[2])
    missing = [n for n in names if not any(e == n or e.startswith(n + " ") for e in entries)]
    if not names or missing:
        print("tdx880(1) lacks: " + ", ".join(missing or ["(no commands read)"]))
        return 1
    print(f"tdx880(1) describes all {len(names)} commands")
    return 0


if __name__ == "__main__":
    sys.exit(main())
