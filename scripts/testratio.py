#!/usr/bin/env python3
"""Prints how many lines of C++ the tests take against the code they test.

A line counts when it holds code: blank lines and lines that are only comment are left out. Test code is
everything under tests/; product code is everything else that is tracked, except bench/.
"""
import argparse
import os
import subprocess
import sys

CPP_SUFFIXES = (".cpp", ".h", ".hpp", ".cc", ".cxx", ".c")


def code_lines(text):
    count = 0
    in_block = False
    for line in text.splitlines():
        code = []
        i = 0
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                if end < 0:
                    i = len(line)
                else:
                    in_block = False
                    i = end + 2
                continue
            if line.startswith("//", i):
                break
            if line.startswith("/*", i):
                in_block = True
                i += 2
                continue
            if line[i] in "\"'":
                # A literal is code, even when it holds "//" or "/*" (a glob, a URL).
                quote = line[i]
                code.append(quote)
                i += 1
                while i < len(line) and line[i] != quote:
                    i += 2 if line[i] == "\\" else 1
                code.append(quote)
                i += 1
                continue
            code.append(line[i])
            i += 1
        if "".join(code).strip():
            count += 1
    return count


def tracked_files(root):
    # Tracked files only, so build folders and scratch files never count.
    try:
        out = subprocess.run(["git", "-C", root, "ls-files"], check=True, capture_output=True, text=True).stdout
        return out.splitlines()
    except (OSError, subprocess.CalledProcessError):
        names = []
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if not d.startswith((".", "build"))]
            names += [os.path.relpath(os.path.join(folder, f), root) for f in files]
        return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--max", type=float, help="exit 1 when the ratio is above this")
    parser.add_argument("--by-file", action="store_true", help="also list the test files by size")
    args = parser.parse_args()

    tests = product = 0
    per_file = []
    for name in tracked_files(args.root):
        if not name.endswith(CPP_SUFFIXES):
            continue
        path = os.path.join(args.root, name)
        if not os.path.isfile(path):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = code_lines(f.read())
        top = name.split("/", 1)[0]
        if top == "tests":
            tests += lines
            per_file.append((lines, name))
        elif top != "bench":
            product += lines
    ratio = tests / product if product else 0.0
    if args.by_file:
        for lines, name in sorted(per_file, reverse=True):
            print(f"{lines:6d}  {name}")
    print(f"tests {tests} lines, product {product} lines, ratio {ratio:.3f}")
    if args.max is not None and ratio > args.max:
        print(f"ratio {ratio:.3f} is above {args.max}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
