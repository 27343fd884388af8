#!/usr/bin/env python3
"""Checks that every #include of the code base follows the layering rules.

Each layer folder holds a DEPS file, read the way Chromium reads its own:

    include_rules = [
        "+src/common",      # may include anything below src/common/
        "-src/common/x.h",  # ...but not this (the longest matching rule wins)
        "+<v8>",            # may include V8's own headers (<v8.h>, <v8-*.h>,
                            # <libplatform/...>)
    ]
    specific_include_rules = {
        r"name_regex\\.cc": ["+src/bridge"],  # extra rules for matching files
    }

CEF's own headers, included as "include/cef_v8.h" as against real CEF, are
named by their place here: "+cef/include". A file may always include files of the folder that holds its DEPS file. The
rules of a folder without a DEPS file are those of the nearest folder above it
that has one. A layer named in LAYERS must exist with a CMakeLists.txt and a
DEPS file, so that a layer cannot drop out of the build or the check unseen.

Usage: check_includes.py [--root DIR]   (exit 0: clean; 1: violations; 2: bad
input such as a malformed DEPS file)
"""

import argparse
import ast
import os
import re
import sys

# The layers, in the order they are built; every one is checked.
LAYERS = [
    "platform",
    "src/common",
    "cef/include",
    "cef/runtime",
    "cef/ipc",
    "src/values",
    "src/bridge",
    "src/channel",
    "src/app",
    "host/browser",
    "host/window",
    "host/client",
]

SOURCE_SUFFIXES = (".h", ".cc", ".cpp", ".c")
QUOTED_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
ANGLE_INCLUDE = re.compile(r"^\s*#\s*include\s+<([^>]+)>")
V8_HEADER = re.compile(r"^(v8\.h|v8-[^/]+\.h|v8config\.h|libplatform/.*)$")


class DepsError(Exception):
    pass


class Deps:
    """The rules of one DEPS file."""

    def __init__(self, folder, rules, specific):
        self.folder = folder
        self.rules = rules
        self.specific = specific

    def rules_for(self, file_name):
        extra = []
        for pattern, rules in self.specific:
            if pattern.fullmatch(file_name):
                extra.extend(rules)
        return self.rules + extra


def parse_rule_list(path, value, what):
    if not isinstance(value, list) or not all(isinstance(r, str) for r in value):
        raise DepsError(f"{path}: {what} must be a list of strings")
    rules = []
    for rule in value:
        if len(rule) < 2 or rule[0] not in "+-":
            raise DepsError(f"{path}: rule {rule!r} must start with '+' or '-'")
        rules.append((rule[0] == "+", rule[1:]))
    return rules


def read_deps(root, folder):
    path = os.path.join(root, folder, "DEPS")
    try:
        with open(path, encoding="utf-8") as f:
            tree = ast.parse(f.read(), path)
    except OSError as e:
        raise DepsError(f"{path}: cannot be read: {e.strerror}")
    except SyntaxError as e:
        raise DepsError(f"{path}:{e.lineno}: not valid DEPS syntax")
    values = {}
    for node in tree.body:
        if not (isinstance(node, ast.Assign) and len(node.targets) == 1
                and isinstance(node.targets[0], ast.Name)):
            raise DepsError(f"{path}:{node.lineno}: only assignments are allowed")
        try:
            values[node.targets[0].id] = ast.literal_eval(node.value)
        except ValueError:
            raise DepsError(f"{path}:{node.lineno}: value must be a literal")
    unknown = set(values) - {"include_rules", "specific_include_rules"}
    if unknown:
        raise DepsError(f"{path}: unknown names {sorted(unknown)}; allowed: "
                        "include_rules, specific_include_rules")
    rules = parse_rule_list(path, values.get("include_rules", []), "include_rules")
    specific = []
    for pattern, extra in values.get("specific_include_rules", {}).items():
        try:
            compiled = re.compile(pattern)
        except re.error:
            raise DepsError(f"{path}: {pattern!r} is not a regular expression")
        specific.append((compiled, parse_rule_list(path, extra, pattern)))
    return Deps(folder, rules, specific)


def allowed(include, rules):
    """The verdict of the longest rule that matches, and that rule."""
    best = None
    for allow, prefix in rules:
        if include == prefix or include.startswith(prefix.rstrip("/") + "/"):
            if best is None or len(prefix) > len(best[1]):
                best = (allow, prefix)
    return best


def resolve(include):
    """CEF's headers are included as "include/..." from the cef/ folder."""
    if include.startswith("include/"):
        return "cef/" + include
    return include


def includes_of(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = QUOTED_INCLUDE.match(line)
            if m:
                yield number, resolve(m.group(1))
                continue
            m = ANGLE_INCLUDE.match(line)
            if m and V8_HEADER.match(m.group(1)):
                yield number, "<v8>"


def check_file(root, rel_path, deps):
    name = os.path.basename(rel_path)
    rules = deps.rules_for(name)
    problems = []
    for number, include in includes_of(os.path.join(root, rel_path)):
        if include != "<v8>" and include.startswith(deps.folder + "/"):
            continue
        verdict = allowed(include, rules)
        if verdict is None or not verdict[0]:
            why = (f"forbidden by '-{verdict[1]}'" if verdict
                   else "no rule allows it")
            problems.append(f"{rel_path}:{number}: includes \"{include}\": {why} "
                            f"in {deps.folder}/DEPS")
    return problems


def check(root):
    problems = []
    for layer in LAYERS:
        folder = os.path.join(root, layer)
        if not os.path.isdir(folder):
            problems.append(f"{layer}: layer folder is missing")
            continue
        for needed in ("DEPS",) + (() if layer == "cef/include" else ("CMakeLists.txt",)):
            if not os.path.isfile(os.path.join(folder, needed)):
                problems.append(f"{layer}: layer has no {needed}")
    if problems:
        return problems
    for layer in LAYERS:
        deps_by_folder = {layer: read_deps(root, layer)}
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, layer)):
            dirnames.sort()
            rel_dir = os.path.relpath(dirpath, root).replace(os.sep, "/")
            if rel_dir not in deps_by_folder:
                if os.path.isfile(os.path.join(dirpath, "DEPS")):
                    deps_by_folder[rel_dir] = read_deps(root, rel_dir)
                else:
                    deps_by_folder[rel_dir] = deps_by_folder[os.path.dirname(rel_dir)]
            deps = deps_by_folder[rel_dir]
            for name in sorted(filenames):
                if name.endswith(SOURCE_SUFFIXES):
                    problems.extend(check_file(root, f"{rel_dir}/{name}", deps))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--root", default=os.path.dirname(here),
                        help="the checkout to check (default: this one)")
    args = parser.parse_args()
    try:
        problems = check(args.root)
    except DepsError as e:
        print(f"check_includes: {e}", file=sys.stderr)
        return 2
    for p in problems:
        print(p)
    if problems:
        print(f"check_includes: {len(problems)} include(s) break the layering; "
              "see docs/layers.md", file=sys.stderr)
        return 1
    print(f"check_includes: all includes of {len(LAYERS)} layers follow their DEPS rules")
    return 0


if __name__ == "__main__":
    sys.exit(main())
