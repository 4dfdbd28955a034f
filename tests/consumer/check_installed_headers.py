#!/usr/bin/env python3
"""Checks the include/ folder of an installed package.

check_installed_headers.py PREFIX COMPILER

- Only public headers: a public header declares something a DLL exports (it
  names DRAVIK_API or AMBREL_API), is included by a public header, or only
  gathers public headers (an umbrella of #include lines). Anything else in
  include/ is a header that only the modules' own sources need, or no header
  at all.
- Each header compiles alone, against the installed headers only: no public
  header leans on one that was left out.
"""

import os
import re
import subprocess
import sys

EXPORT_MACRO = re.compile(r"\b(DRAVIK|AMBREL)_API\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
# Lines an umbrella header may hold besides its #include lines.
UMBRELLA_LINE = re.compile(r"^\s*(//.*|#\s*pragma\s+once|#\s*include\s*[\"<].*|)\s*$")


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    prefix, compiler = argv
    include = os.path.join(prefix, "include")
    # The include folders of the package's targets: include/ and include/Dravik/.
    search = [include, os.path.join(include, "Dravik")]

    headers = {}
    other = []
    for root, _, files in os.walk(include):
        for name in files:
            path = os.path.join(root, name)
            if name.endswith(".h"):
                with open(path, encoding="utf-8") as f:
                    headers[os.path.relpath(path, include)] = f.read()
            else:
                other.append(os.path.relpath(path, include))
    if not headers:
        print("no headers in %s" % include)
        return 1

    def resolve(including, target):
        for base in [os.path.dirname(including)] + ["", "Dravik"]:
            candidate = os.path.normpath(os.path.join(base, target))
            if candidate in headers:
                return candidate
        return None

    public = {h for h, text in headers.items() if EXPORT_MACRO.search(text)}
    public |= {h for h, text in headers.items()
               if INCLUDE.search(text) and all(UMBRELLA_LINE.match(l) for l in text.splitlines())}
    grown = True
    while grown:
        grown = False
        for h in list(public):
            for target in INCLUDE.findall(headers[h]):
                found = resolve(h, target)
                if found and found not in public:
                    public.add(found)
                    grown = True

    failures = []
    for name in sorted(other):
        failures.append("%s: not a header" % name)
    for name in sorted(set(headers) - public):
        failures.append("%s: private (exports nothing, no public header includes it)" % name)

    for name in sorted(headers):
        # As a user's source includes it, warnings on.
        command = [compiler, "-std=c++17", "-fsyntax-only", "-Wall", "-Wextra", "-Werror"]
        command += ["-I" + d for d in search] + ["-x", "c++", "-"]
        run = subprocess.run(command, input='#include "%s"\n' % name.replace(os.sep, "/"),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             universal_newlines=True)
        if run.returncode != 0:
            failures.append("%s: does not compile alone:\n%s" % (name, run.stdout.rstrip()))

    for failure in failures:
        print("FAIL " + failure)
    print("%d headers, %d public, %d failures" % (len(headers), len(public), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
