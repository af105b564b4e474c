#!/usr/bin/env python3
"""Checks tdx880 --json output against the schema docs/json.md gives, with Python's jsonschema.

Usage: json_check.py DOCS_JSON_MD [--examples-only] [< LINES]

The schema is the first ```json block after the heading "## Schema"; every other ```json block of
the page is an example object and must follow it. Then each line of standard input must be one
JSON value that follows the schema; for each, one line is printed: "PATH ok" or "PATH KIND" for a
package, the object's name otherwise. Exit status 1 at the first line that does not follow.
"""

import json
import re
import sys

import jsonschema


def blocks(page):
    """The schema and the examples of the page."""
    schema_at = page.index("\n## Schema")
    found = [(m.start(), m.group(1)) for m in re.finditer(r"```json\n(.*?)```", page, re.S)]
    schema = next(text for at, text in found if at > schema_at)
    return json.loads(schema), [json.loads(text) for at, text in found if text != schema]


def describe(value):
    if value["object"] != "package":
        return value["object"]
    return "%s %s" % (value["path"], "ok" if value["ok"] else value["error"]["kind"])


def main():
    with open(sys.argv[1], encoding="utf-8") as page:
        schema, examples = blocks(page.read())
    validator = jsonschema.Draft202012Validator(schema)
    jsonschema.Draft202012Validator.check_schema(schema)
    for example in examples:
        validator.validate(example)
    if "--examples-only" in sys.argv:
        print("%d examples follow the schema" % len(examples))
        return 0
    data = sys.stdin.buffer.read()
    if data and not data.endswith(b"\n"):
        print("the last line has no line end")
        return 1
    for number, line in enumerate(data.split(b"\n")[:-1], 1):
        try:
            value = json.loads(line.decode("utf-8"))
            validator.validate(value)
        except (ValueError, jsonschema.ValidationError) as error:
            print("line %d: %s\n%r" % (number, getattr(error, "message", error), line))
            return 1
        print(describe(value))
    return 0


if __name__ == "__main__":
    sys.exit(main())
