"""Checks that the manual page tdx880(1) describes every command `tdx880 --help` lists.

Usage: man_page_check.py TOOL MAN_PAGE
"""

import re
import subprocess
import sys

help_text = subprocess.run([sys.argv[1], "--help"], check=True, capture_output=True, text=True)
# A command's line: two spaces, then its words (lower case) before its arguments.
names = [re.match(r"  ([a-z][a-z0-9-]*(?: [a-z][a-z0-9-]*)*)", line).group(1)
         for line in help_text.stdout.splitlines() if re.match(r"  [a-z]", line)]
lines = open(sys.argv[2], encoding="utf-8").read().splitlines()
entries = [re.sub(r"^\.(B|BI|BR|IR) ", "", re.sub(r"\\f[BIRP]", "", lines[i + 1]).replace("\\-", "-"))
           .replace('"', "").strip() for i, line in enumerate(lines[:-1]) if line == ".TP"]
missing = [n for n in names if not any(e == n or e.startswith(n + " ") for e in entries)]
if not names or missing:
    sys.exit("tdx880(1) lacks: " + ", ".join(missing or ["(no commands read)"]))
print(f"tdx880(1) describes all {len(names)} commands")
