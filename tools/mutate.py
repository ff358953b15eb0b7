#!/usr/bin/env python3
"""Mutation testing: plants one typical fault at a time in the named sources,
rebuilds what depends on them, runs the test programs that cover them, and
reports which faults the tests caught (killed) and which they did not
(survived).

It works on a private copy of the tree under the build folder, so the work
tree is never touched, even when the run is stopped half-way. See
tools/mutate.sh for the command line.
"""
import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass

# The test programs that cover each folder, fastest and closest first. The
# fault sweep is slow; only the link layer gets it.
TESTS = {
    "common": ["test_common", "test_phonebook", "test_send", "test_convert"],
    "convert": ["test_convert", "test_send"],
    "link": ["test_link", "test_commands", "test_backends", "test_faults"],
    "send": ["test_send", "test_commands"],
    "phonebook": ["test_phonebook"],
}


@dataclass
class Mutant:
    path: str     # relative to the top of the tree
    line: int     # 1-based
    col: int      # 0-based, in the original line
    old: str
    new: str
    rule: str
    text: str = ""  # the whole original line, to find it again after edits

    def key(self):
        return f"{self.path}:{self.line}:{self.col}:{self.rule}:{self.old}->{self.new}"


# --- Finding where faults can go -------------------------------------------

def masked_lines(source):
    """The lines with comments, string and character literals blanked out
    (same length), so that rules never match inside them."""
    out = []
    in_block = False
    for line in source.split("\n"):
        chars = list(line)
        i = 0
        n = len(chars)
        while i < n:
            if in_block:
                end = line.find("*/", i)
                stop = n if end < 0 else end + 2
                for k in range(i, stop):
                    chars[k] = " "
                in_block = end < 0
                i = stop
                continue
            c = line[i]
            if line.startswith("//", i):
                for k in range(i, n):
                    chars[k] = " "
                break
            if line.startswith("/*", i):
                in_block = True
                continue
            if c in "\"'":
                # R"( ... )" on one line, or an ordinary literal.
                if c == '"' and i > 0 and line[i - 1] == "R":
                    end = line.find(')"', i)
                else:
                    end = i + 1
                    while end < n and line[end] != c:
                        end += 2 if line[end] == "\\" else 1
                stop = n if end < 0 or end >= n else end + (2 if line[end] == ")" else 1)
                for k in range(i, stop):
                    chars[k] = "_"
                i = stop
                continue
            i += 1
        out.append("".join(chars))
    return out


SWAP_RELATION = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
DECLARATION = re.compile(r"^\s*(const |static |constexpr |auto |unsigned |signed )*"
                         r"[A-Za-z_][\w:<>,]*[\s*&]+[A-Za-z_]\w*\s*(=|\{|;|\()")
STATEMENT = re.compile(r"^\s*(\*?[A-Za-z_][\w.:\[\]>-]*(\(.*\))?\s*(=|\+=|-=|\|=|&=|\^=)\s*.*;"
                       r"|(\+\+|--)?[A-Za-z_][\w.:>\[\]-]*(\+\+|--)?;"
                       r"|[A-Za-z_][\w.:>-]*\(.*\);)\s*$")
INTEGER = re.compile(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|[0-9]+)([uUlLzZ]*)(?![\w.'])")


def close_paren(masked, open_index):
    depth = 0
    for k in range(open_index, len(masked)):
        if masked[k] == "(":
            depth += 1
        elif masked[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def candidates(path, source):
    lines = source.split("\n")
    masked = masked_lines(source)
    found = []

    def add(number, col, old, new, rule):
        found.append(Mutant(path, number, col, old, new, rule, lines[number - 1]))

    for index, m in enumerate(masked):
        number = index + 1
        stripped = m.strip()
        if not stripped or stripped.startswith("#") or "static_assert" in m or "template" in m:
            continue
        for hit in re.finditer(r"(?<=[\s(])(<=|>=|<|>|==|!=)(?=\s)", m):
            op = hit.group(1)
            add(number, hit.start(1), op, SWAP_RELATION[op], "boundary" if op[0] in "<>" else "negation")
        for hit in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", m):
            add(number, hit.start(1), hit.group(1), "||" if hit.group(1) == "&&" else "&&", "logic")
        for hit in re.finditer(r"!(?=[A-Za-z_(])", m):
            add(number, hit.start(), "!", "", "negation")
        for hit in re.finditer(r"\b(if|while) \(", m):
            start = hit.end() - 1
            end = close_paren(m, start)
            if end > start:
                inner = lines[index][start + 1:end]
                add(number, start, lines[index][start:end + 1], "(!(" + inner + "))", "negation")
        for hit in re.finditer(r"(?<=\s)([+-])(?=\s)", m):
            add(number, hit.start(1), hit.group(1), "-" if hit.group(1) == "+" else "+", "arithmetic")
        if not re.search(r"\[\s*\]|^\s*(case|enum)\b|\bkMessages\b", m):
            for hit in INTEGER.finditer(m):
                digits, suffix = hit.group(1), hit.group(2)
                value = int(digits, 0)
                hexa = digits.lower().startswith("0x")
                for changed in (value + 1, value - 1):
                    if changed < 0:
                        continue
                    text = (f"0x{changed:0{len(digits) - 2}X}" if hexa else str(changed)) + suffix
                    add(number, hit.start(), digits + suffix, text, "constant")
        for hit in re.finditer(r"\breturn (true|false);", m):
            add(number, hit.start(1), hit.group(1), "false" if hit.group(1) == "true" else "true", "constant")
        for hit in re.finditer(r"\b[A-Za-z_]\w*\(([^(),]+), ([^(),]+)\)", m):
            a = lines[index][hit.start(1):hit.end(1)].strip()
            b = lines[index][hit.start(2):hit.end(2)].strip()
            # Parameters of a declaration ("int a, char* b") do not swap.
            declared = any(re.match(r"^[\w:<>]+[\s*&]+\w+$", x) for x in (a, b))
            if a != b and not declared and "_" not in (a + b).strip("_ "):
                start = hit.start(1)
                add(number, start, lines[index][start:hit.end(2)], f"{b}, {a}", "swap")
        code = m.rstrip()
        if (STATEMENT.match(code) and not DECLARATION.match(code) and code.count("(") == code.count(")")
                and not re.match(r"^\s*(return|break|continue|else|case|default)\b", code)):
            begin = len(m) - len(m.lstrip())
            add(number, begin, lines[index][begin:len(code)], ";", "drop")
    return found


def sample(found, count, seed):
    """Up to count mutants, spread over the rules, the same for the same
    source and seed."""
    rng = random.Random(seed)
    by_rule = {}
    for mutant in found:
        by_rule.setdefault(mutant.rule, []).append(mutant)
    for group in by_rule.values():
        rng.shuffle(group)
    chosen = []
    while len(chosen) < count and any(by_rule.values()):
        for rule in sorted(by_rule):
            if by_rule[rule] and len(chosen) < count:
                chosen.append(by_rule[rule].pop())
    return sorted(chosen, key=lambda x: (x.path, x.line, x.col))


# --- Lists of mutants, so that a later run tries the same ones -------------

FIELDS = ("path", "line", "col", "rule", "old", "new", "text")


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t")


def unescape(text):
    return re.sub(r"\\(.)", lambda m: "\t" if m.group(1) == "t" else m.group(1), text)


def write_list(path, mutants):
    with open(path, "w", encoding="utf-8") as out:
        for m in mutants:
            out.write("\t".join(escape(str(getattr(m, f))) for f in FIELDS) + "\n")


def read_list(path):
    mutants = []
    with open(path, encoding="utf-8") as lines:
        for row in lines:
            row = row.rstrip("\n")
            if not row or row.startswith("#"):
                continue
            values = [unescape(v) for v in row.split("\t")]
            values = values[:len(FIELDS)]
            if len(values) < len(FIELDS):
                values.append("")
            fields = dict(zip(FIELDS, values))
            fields["line"] = int(fields["line"])
            fields["col"] = int(fields["col"])
            mutants.append(Mutant(**fields))
    return mutants


def apply(mutant, source):
    """The source with the mutant planted, or None when its line is gone.
    A line that moved since the list was made is found again by its text."""
    lines = source.split("\n")
    index = mutant.line - 1
    if not (0 <= index < len(lines) and lines[index] == mutant.text):
        near = [k for k, line in enumerate(lines) if line == mutant.text]
        if not near:
            return None, mutant.line
        index = min(near, key=lambda k: abs(k - (mutant.line - 1)))
    line = lines[index]
    if line[mutant.col:mutant.col + len(mutant.old)] != mutant.old:
        return None, mutant.line
    lines[index] = line[:mutant.col] + mutant.new + line[mutant.col + len(mutant.old):]
    return "\n".join(lines), index + 1


# --- Building and testing --------------------------------------------------

def run(command, timeout, cwd=None):
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout)
        return done.returncode, done.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired:
        return None, ""


def sync_tree(top, copy, revision=None):
    """Copies the tracked and new files of the work tree (or the files of a
    commit) into copy, leaving unchanged files (and so their objects) as
    they are."""
    if revision:
        unpacked = os.path.join(os.path.dirname(copy), "at")
        shutil.rmtree(unpacked, ignore_errors=True)
        os.makedirs(unpacked)
        archive = subprocess.run(["git", "archive", revision], cwd=top, stdout=subprocess.PIPE, check=True).stdout
        subprocess.run(["tar", "-x", "-C", unpacked], input=archive, check=True)
        top = unpacked
        listed = [os.path.relpath(os.path.join(d, f), top) for d, _, files in os.walk(top) for f in files]
    else:
        listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=top,
                                stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    for name in filter(None, listed):
        source = os.path.join(top, name)
        target = os.path.join(copy, name)
        if not os.path.isfile(source):
            continue
        with open(source, "rb") as f:
            data = f.read()
        if os.path.isfile(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # A new time stamp, so that the build sees the change.
        shutil.copyfile(source, target)
        shutil.copymode(source, target)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="*", metavar="FILE[:N]",
                        help="sources to mutate, relative to the top of the tree; N mutants of this one")
    parser.add_argument("--per-file", type=int, default=12, help="mutants tried per file (default 12)")
    parser.add_argument("--seed", default="quirel", help="sampling seed (default quirel)")
    parser.add_argument("--mutants", help="try exactly the mutants of this list (written by --save)")
    parser.add_argument("--save", help="write the chosen mutants to this list and go on")
    parser.add_argument("--only-list", action="store_true", help="with --save: list them, run nothing")
    parser.add_argument("--results", help="append one line per mutant to this file")
    parser.add_argument("--tests", help="comma-separated test programs instead of the folder's own")
    parser.add_argument("--filter", default="*", help="gtest filter for every test program")
    parser.add_argument("--timeout", type=int, default=0,
                        help="seconds per test program (default: ten times its run on the unchanged tree)")
    parser.add_argument("--at", metavar="REV", help="the tree of this commit instead of the work tree")
    parser.add_argument("--build", default="build-mutate", help="work folder (default build-mutate)")
    args = parser.parse_args()
    # Stopped from outside, the planted fault is still taken out again.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], stdout=subprocess.PIPE,
                         check=True).stdout.decode().strip()
    work = os.path.abspath(os.path.join(top, args.build))
    copy = os.path.join(work, "src")
    binary = os.path.join(work, "bin")

    if args.mutants:
        mutants = read_list(args.mutants)
    else:
        mutants = []
        for spec in args.files:
            name, _, count = spec.partition(":")
            with open(os.path.join(top, name), encoding="utf-8") as f:
                found = candidates(name, f.read())
            mutants += sample(found, int(count) if count else args.per_file, f"{args.seed}:{name}")
    if args.save:
        write_list(args.save, mutants)
    if args.only_list or not mutants:
        print(f"{len(mutants)} mutants")
        return 0

    os.makedirs(copy, exist_ok=True)
    sync_tree(top, copy, args.at)
    configure = ["cmake", "-S", copy, "-B", binary, "-DQUIREL_GUI=OFF", "-DCMAKE_BUILD_TYPE=Release",
                 "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DQUIREL_WERROR=OFF"]
    if shutil.which("ccache"):
        configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    status, output = run(configure, 600)
    if status != 0:
        print(output, file=sys.stderr)
        return 1

    def programs(mutant):
        if args.tests:
            return args.tests.split(",")
        return TESTS.get(mutant.path.split("/")[0], ["test_common"])

    everything = sorted({p for m in mutants for p in programs(m)})
    status, output = run(["cmake", "--build", binary, "-j", str(os.cpu_count() or 2), "--target"] + everything,
                         3600)
    if status != 0:
        print(output[-4000:], file=sys.stderr)
        print("the unchanged tree does not build", file=sys.stderr)
        return 1
    limit = {}
    for program in everything:
        begun = time.time()
        status, output = run([os.path.join(binary, "tests", program), "--gtest_brief=1",
                              f"--gtest_filter={args.filter}"], args.timeout or 1800)
        if status != 0:
            print(output[-4000:], file=sys.stderr)
            print(f"{program} fails on the unchanged tree", file=sys.stderr)
            return 1
        # A fault that makes a loop endless ends by the time limit.
        limit[program] = args.timeout or max(20, int(10 * (time.time() - begun)))

    results = open(args.results, "a", encoding="utf-8") if args.results else None
    tally = {}
    started = time.time()
    for number, mutant in enumerate(mutants, 1):
        target = os.path.join(copy, mutant.path)
        with open(target, encoding="utf-8") as f:
            original = f.read()
        planted, line = apply(mutant, original)
        verdict, by = "gone", ""
        if planted is not None:
            try:
                with open(target, "w", encoding="utf-8") as f:
                    f.write(planted)
                status, _ = run(["cmake", "--build", binary, "-j", str(os.cpu_count() or 2), "--target"]
                                + programs(mutant), 1800)
                if status != 0:
                    verdict = "no-build"
                else:
                    verdict = "survived"
                    for program in programs(mutant):
                        status, _ = run([os.path.join(binary, "tests", program), "--gtest_brief=1",
                                         "--gtest_fail_fast", f"--gtest_filter={args.filter}"],
                                        limit[program])
                        if status != 0:
                            verdict, by = ("killed", program) if status is not None else ("killed", program + "/timeout")
                            break
            finally:
                with open(target, "w", encoding="utf-8") as f:
                    f.write(original)
        tally[(mutant.path.split("/")[0], verdict)] = tally.get((mutant.path.split("/")[0], verdict), 0) + 1
        where = f"{mutant.path}:{line}"
        change = f"{mutant.old.strip()} -> {mutant.new.strip() or '(nothing)'}"
        report = f"{verdict:9} {where:28} {mutant.rule:10} {change}" + (f"  [{by}]" if by else "")
        print(f"[{number}/{len(mutants)}] {report}", flush=True)
        if results:
            results.write(report + "\n")
            results.flush()
    # The copy goes back to the unchanged tree for the next run.
    run(["cmake", "--build", binary, "-j", str(os.cpu_count() or 2), "--target"] + everything, 3600)

    print(f"\n{len(mutants)} mutants in {time.time() - started:.0f} s")
    print(f"{'folder':10} {'killed':>7} {'survived':>9} {'no-build':>9} {'score':>7}")
    for folder in sorted({f for f, _ in tally}):
        killed = tally.get((folder, "killed"), 0)
        survived = tally.get((folder, "survived"), 0)
        broken = tally.get((folder, "no-build"), 0) + tally.get((folder, "gone"), 0)
        score = f"{100 * killed / (killed + survived):.0f} %" if killed + survived else "-"
        print(f"{folder:10} {killed:7} {survived:9} {broken:9} {score:>7}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
