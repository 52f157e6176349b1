#!/usr/bin/env python3
"""Measures how many small faults in the product's C++ the tests catch.

Each mutant is one small change to one line of a product source: a comparison flipped or made strict,
`+ 1` / `- 1` dropped or an index moved by one, `&&` and `||` swapped, a boolean return inverted, a statement
removed, or a constant changed by one. The script applies it, rebuilds the test programs of that source's folder
in a build folder of its own, runs them with `ctest -L <label>`, and restores the source. A mutant is "killed"
when a test fails, "survived" when all pass, "timeout" when the tests run three times longer than they normally
do (counted as killed), and "build failed" when it does not compile (left out of the rates).

The sample is seeded: a mutant is chosen by a hash of the seed, the file's path, the line's text and the kind of
change, within a quota per folder in proportion to the folder's size. Two trees whose product code is the same
therefore get the same mutants, whatever their tests are. The script never commits; it puts every source back
even when interrupted, and a run that was killed outright restores its leftover on the next start.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from testratio import code_lines  # noqa: E402

# The product's folders and the CTest labels whose programs test each one.
LABELS = {
    "converter": "converter",
    "engine": "engine",
    "settings": "settings",
    "ui": "ui",
    "batch": "batch",
}
# Sources that the build on this platform does not compile: a mutant there could only survive.
SKIPPED = re.compile(r"_windows\.cpp$")

REL_FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
STATEMENT_START = re.compile(r"^(return|break|continue|case|default|if|for|while|do|else|switch|using|typedef|"
                             r"namespace|template|class|struct|enum|public|private|protected|Q_|\}|\{|#)")
ASSIGNMENT = re.compile(r"^[\w.\[\]>*-]+\s*(=|\+=|-=|\*=|/=|\|=|&=|\^=|<<=|>>=)\s*[^=].*;$")
CALL = re.compile(r"^[\w:.>*-]+(\(.*\)|<[\w:, ]*>\(.*\));$")
STEP = re.compile(r"^(\+\+|--)?[\w.\[\]>-]+(\+\+|--)?;$")


class Mutant:
    def __init__(self, path, line_no, kind, column, old, new, line_text, occurrence):
        self.path = path
        self.line_no = line_no
        self.kind = kind
        self.column = column
        self.old = old
        self.new = new
        self.line_text = line_text
        self.occurrence = occurrence

    @property
    def folder(self):
        return self.path.split("/", 1)[0]

    def key(self, seed):
        # Line numbers stay out of the key, so a line added above does not change the sample.
        text = f"{seed}|{self.path}|{self.line_text.strip()}|{self.kind}|{self.occurrence}"
        return hashlib.sha256(text.encode()).hexdigest()

    def describe(self):
        return f"{self.kind}: '{self.old}' -> '{self.new}'"

    def apply(self, lines):
        line = lines[self.line_no - 1]
        assert line[self.column:self.column + len(self.old)] == self.old
        changed = list(lines)
        changed[self.line_no - 1] = line[:self.column] + self.new + line[self.column + len(self.old):]
        return changed


def mask_literals_and_comments(line, in_block):
    """Returns the line with string/char literals and comments blanked (same length), and the block state."""
    out = []
    i = 0
    quote = None
    while i < len(line):
        c = line[i]
        if in_block:
            if line.startswith("*/", i):
                in_block = False
                out.append("  ")
                i += 2
            else:
                out.append(" ")
                i += 1
            continue
        if quote:
            if c == "\\":
                out.append("  "[: len(line[i:i + 2])])
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" ")
            i += 1
            continue
        if line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        if line.startswith("/*", i):
            in_block = True
            out.append("  ")
            i += 2
            continue
        if c in "\"'" and not (c == "'" and i > 0 and line[i - 1].isalnum()):
            quote = c
            out.append(" ")
            i += 1
            continue
        out.append(c)
        i += 1
    return "".join(out), in_block


def mutants_of_line(code):
    """Yields (kind, column, old, new) for one line whose literals and comments are blanked."""
    stripped = code.strip()
    if not stripped or stripped.startswith("#"):
        return
    for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)", code):
        yield "comparison", m.start(), m.group(1), REL_FLIPS[m.group(1)]
    for m in re.finditer(r"\s[+-] 1\b(?![.\w])", code):
        yield "drop one", m.start(), m.group(0), ""
    for m in re.finditer(r"(?<=\w)\[([a-zA-Z_]\w*)\]", code):
        yield "index + 1", m.start(1), m.group(1), m.group(1) + " + 1"
    for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", code):
        yield "logic", m.start(), m.group(1), "||" if m.group(1) == "&&" else "&&"
    for m in re.finditer(r"\breturn (true|false);", code):
        yield "return bool", m.start(1), m.group(1), "false" if m.group(1) == "true" else "true"
    if not STATEMENT_START.match(stripped) and (ASSIGNMENT.match(stripped) or CALL.match(stripped) or
                                                 STEP.match(stripped)):
        start = code.index(stripped)
        yield "remove statement", start, stripped, ";"
    for m in re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", code):
        # Array sizes and bit widths often do not compile when changed; the build tells.
        value = int(m.group(1))
        yield "constant", m.start(1), m.group(1), str(value + 1)


def candidates_in_file(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []
    seen = {}
    in_block = False
    for number, line in enumerate(lines, 1):
        code, in_block = mask_literals_and_comments(line, in_block)
        for kind, column, old, new in mutants_of_line(code):
            ident = (line.strip(), kind)
            seen[ident] = seen.get(ident, 0) + 1
            # The blanked line has the same length, so the column finds the original text.
            old = line[column:column + len(old)]
            found.append(Mutant(path, number, kind, column, old, new, line, seen[ident] - 1))
    return found


def product_sources(folder):
    out = subprocess.run(["git", "-C", ROOT, "ls-files", folder], check=True, capture_output=True,
                         text=True).stdout
    return sorted(p for p in out.splitlines() if p.endswith(".cpp") and not SKIPPED.search(p))


def folder_size(folder):
    total = 0
    for path in product_sources(folder):
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            total += code_lines(f.read())
    return total


def quotas(count, sizes):
    """Splits count over the folders in proportion to their sizes (largest remainder)."""
    total = sum(sizes.values())
    exact = {f: count * s / total for f, s in sizes.items()}
    share = {f: int(v) for f, v in exact.items()}
    rest = count - sum(share.values())
    for f in sorted(exact, key=lambda f: (share[f] - exact[f], f))[:rest]:
        share[f] += 1
    return share


def choose(args):
    if args.files:
        pool = [m for path in args.files for m in candidates_in_file(os.path.relpath(os.path.abspath(path), ROOT))]
        pool.sort(key=lambda m: m.key(args.seed))
        return pool[:args.count]
    folders = args.folders or list(LABELS)
    share = quotas(args.count, {f: folder_size(f) for f in folders})
    chosen = []
    for folder in folders:
        pool = [m for path in product_sources(folder) for m in candidates_in_file(path)]
        pool.sort(key=lambda m: m.key(args.seed))
        chosen += pool[:share[folder]]
    return chosen


class Restorer:
    """Keeps the one source being mutated, and puts it back on exit, exception, SIGINT or SIGTERM."""

    def __init__(self, build_dir):
        self.backup = os.path.join(build_dir, "mutation-backup.json")
        self.path = None
        self.text = None

    def recover(self):
        if os.path.exists(self.backup):
            with open(self.backup, encoding="utf-8") as f:
                saved = json.load(f)
            with open(saved["path"], "w", encoding="utf-8", newline="") as f:
                f.write(saved["text"])
            os.remove(self.backup)
            print(f"restored {saved['path']} left mutated by an earlier run", file=sys.stderr)

    def mutate(self, path, text, changed):
        self.path, self.text = path, text
        with open(self.backup + ".tmp", "w", encoding="utf-8") as f:
            json.dump({"path": path, "text": text}, f)
        os.replace(self.backup + ".tmp", self.backup)
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(changed)

    def restore(self):
        if self.path is None:
            return
        with open(self.path, "w", encoding="utf-8", newline="") as f:
            f.write(self.text)
        self.path = self.text = None
        if os.path.exists(self.backup):
            os.remove(self.backup)


def run(command, timeout=None, cwd=None):
    """Runs a command in a process group of its own; returns (exit code or None on timeout, output)."""
    proc = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        raise


def tests_of_label(build_dir, label):
    code, out = run(["ctest", "--show-only=json-v1", "-L", f"^{label}$"], cwd=build_dir)
    if code != 0:
        sys.exit(f"ctest cannot list the tests labelled {label}:\n{out}")
    return [t["name"] for t in json.loads(out)["tests"]]


def build(build_dir, targets, jobs):
    return run(["cmake", "--build", build_dir, "-j", str(jobs), "--target"] + targets)


def ctest(build_dir, label, jobs, timeout):
    return run(["ctest", "-L", f"^{label}$", "-j", str(jobs), "--output-on-failure", "--stop-on-failure"],
               timeout=timeout, cwd=build_dir)


def failed_tests(output):
    return sorted(set(re.findall(r"^\s*\d+ - (\w+) \([A-Za-z_ ]+\)$", output, re.MULTILINE)))


def configure(build_dir):
    if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")):
        code, out = run(["cmake", "-S", ROOT, "-B", build_dir, "-DKORVALIN_WERROR=ON", "-DKORVALIN_BUILD_BENCH=OFF",
                         "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"])
        if code != 0:
            sys.exit(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", default="korvalin", help="chooses the sample (default: %(default)s)")
    parser.add_argument("--count", type=int, default=60, help="mutants in the sample (default: %(default)s)")
    parser.add_argument("--files", nargs="+", help="mutate these sources only")
    parser.add_argument("--folders", nargs="+", choices=list(LABELS), help="sample these folders only")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)

    mutants = choose(args)
    unknown = sorted({m.folder for m in mutants} - set(LABELS))
    if unknown:
        sys.exit(f"no tests are mapped to {', '.join(unknown)}")
    print(f"# seed {args.seed}, {len(mutants)} mutants", flush=True)
    if args.list:
        for m in mutants:
            print(f"{m.path}:{m.line_no}  {m.describe()}")
        return 0

    configure(build_dir)
    restorer = Restorer(build_dir)
    restorer.recover()

    def stop(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")

    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGTERM, stop)

    labels = sorted({LABELS[m.folder] for m in mutants})
    targets, timeouts = {}, {}
    for label in labels:
        targets[label] = tests_of_label(build_dir, label)
        if not targets[label]:
            sys.exit(f"no tests are labelled {label}")
        code, out = build(build_dir, targets[label], args.jobs)
        if code != 0:
            sys.exit(f"the unchanged tree does not build:\n{out}")
        start = time.monotonic()
        code, out = ctest(build_dir, label, args.jobs, None)
        normal = time.monotonic() - start
        if code != 0:
            sys.exit(f"the tests labelled {label} fail on the unchanged tree:\n{out}")
        timeouts[label] = 3 * normal
        print(f"# label {label}: {len(targets[label])} tests, normal run {normal:.1f} s, timeout {3 * normal:.1f} s",
              flush=True)

    results = []
    try:
        for number, m in enumerate(mutants, 1):
            label = LABELS[m.folder]
            path = os.path.join(ROOT, m.path)
            with open(path, encoding="utf-8", newline="") as f:
                text = f.read()
            start = time.monotonic()
            restorer.mutate(path, text, "\n".join(m.apply(text.split("\n"))))
            try:
                code, out = build(build_dir, targets[label], args.jobs)
                killers = []
                if code != 0:
                    status = "build failed"
                else:
                    code, out = ctest(build_dir, label, args.jobs, timeouts[label])
                    status = "timeout" if code is None else "survived" if code == 0 else "killed"
                    killers = failed_tests(out)
            finally:
                restorer.restore()
            seconds = time.monotonic() - start
            results.append((m, status, killers))
            by = f"  by {' '.join(killers)}" if killers else ""
            print(f"{number:3d} {m.path}:{m.line_no}  {m.describe()}  {status}  {seconds:.0f} s{by}", flush=True)
    except KeyboardInterrupt as stopped:
        print(f"# stopped ({stopped}) after {len(results)} mutants; the sources are restored", flush=True)
    finally:
        restorer.restore()

    summarize(results)
    return 0


def summarize(results):
    print("\n# kill rate (killed + timeout) / (killed + timeout + survived); build failures left out")
    folders = sorted({m.folder for m, _, _ in results})
    totals = {"killed": 0, "timeout": 0, "survived": 0, "build failed": 0}
    for folder in folders + ["overall"]:
        counts = {k: 0 for k in totals}
        for m, status, _ in results:
            if folder in ("overall", m.folder):
                counts[status] += 1
        caught = counts["killed"] + counts["timeout"]
        judged = caught + counts["survived"]
        rate = f"{100 * caught / judged:5.1f}%" if judged else "  n/a"
        print(f"{folder:10s} {rate}  killed {counts['killed']}, timeout {counts['timeout']}, "
              f"survived {counts['survived']}, build failed {counts['build failed']}")
    print("\n# survivors")
    for m, status, _ in results:
        if status == "survived":
            print(f"{m.path}:{m.line_no}  {m.describe()}\n    {m.line_text.strip()}")


if __name__ == "__main__":
    sys.exit(main())
