#!/usr/bin/env python3
"""Mutation testing of survseq: what does the test suite catch?

Applies one small fault at a time to the sources under src/, rebuilds incrementally, runs
the test suite and records whether a test failed (the mutant is killed), every test
passed (it survived) or the mutant did not compile (stillborn, left out of the score).

The mutations are those a slip of the pen makes:
  flip     a comparison turned round or negated   (<  <=  >  >=  ==  !=)
  arith    + for -, - for +, * for /, / for *
  const    an integer constant off by one          (2 -> 3, 0 -> 1)
  logic    && for ||, || for &&, true for false
  delete   an expression statement deleted         (x += y;  f(a);)
  return   a default returned early                (return expr;  ->  return {};)

Every candidate site of the chosen files is listed in a fixed order (file, line, column,
kind); a seeded random sample of them is tested, so the same seed on the same sources
tests the same mutants. The work is done in a scratch git worktree of HEAD with its own
build folder, so the checkout you work in is never touched; the mutated file is restored
after each mutant, and the scratch tree is kept between runs for incremental builds.

Usage:
  tests/tools/mutate.py [--seed 1] [--sample 60] [--paths src] [--timeout 300]
                        [--revision HEAD] [--scratch build-mutation] [--list] [--json FILE]

  --revision   the commit whose sources are mutated (committed work only)
  --list       only list the candidate sites and the sample, build nothing
  --json FILE  also write every mutant and its result as JSON

Output: one line per mutant as it is judged, then a table per file (killed, survived,
stillborn, score) and the surviving mutants with their lines, so each can be judged
equivalent or answered with a test.
"""

import argparse
import json
import os
import random
import re
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]

# A site is (path, line number, column, kind, original text, replacement text).
COMPARISON_SWAPS = {"<": ">=", ">=": "<", ">": "<=", "<=": ">", "==": "!=", "!=": "=="}
ARITHMETIC_SWAPS = {"+": "-", "-": "+", "*": "/", "/": "*"}
LOGIC_SWAPS = {"&&": "||", "||": "&&", "true": "false", "false": "true"}

# Binary operators surrounded by spaces, so that templates, pointers, includes and unary
# signs are not taken for them.
BINARY = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>|\+|-|\*|/|&&|\|\|)(?=\s)")
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
BOOLEAN = re.compile(r"\b(true|false)\b")
STATEMENT = re.compile(r"^(\s*)([A-Za-z_][\w:.\->\[\]()]*\s*(\+\+|--|[-+*/|&]?=|\().*;)\s*$")
DECLARATION_START = re.compile(
    r"^\s*(const|constexpr|static|auto|return|using|typedef|namespace|template|case|default|"
    r"break|continue|goto|throw|delete|new|int\d*_t|size_t|float|double|bool|char|void|"
    r"std::|if|for|while|switch|else|do|\}|\{)\b")
RETURN = re.compile(r"^(\s*)return\s+(?!\{\})([^;]+);\s*$")


def strip_code(line):
    """The line with string and character literals and comments blanked, same length."""
    out = []
    i, quote = 0, None
    while i < len(line):
        c = line[i]
        if quote:
            out.append(" ")
            if c == "\\":
                out.append(" ")
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def candidate_sites(path):
    sites = []
    lines = path.read_text().split("\n")
    in_block_comment = False
    previous_code = ";"
    for number, line in enumerate(lines, start=1):
        stripped = line.strip()
        if in_block_comment:
            in_block_comment = "*/" not in stripped
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in stripped
            continue
        if stripped.startswith("#") or stripped.startswith("//") or not stripped:
            continue
        code = strip_code(line)
        starts_statement = previous_code.rstrip()[-1:] in (";", "{", "}", ":")
        previous_code = code if code.strip() else previous_code
        for m in BINARY.finditer(code):
            op = m.group(1)
            if op in COMPARISON_SWAPS:
                sites.append((number, m.start(), "flip", op, COMPARISON_SWAPS[op]))
            elif op in ARITHMETIC_SWAPS:
                sites.append((number, m.start(), "arith", op, ARITHMETIC_SWAPS[op]))
            else:
                sites.append((number, m.start(), "logic", op, LOGIC_SWAPS[op]))
        for m in BOOLEAN.finditer(code):
            sites.append((number, m.start(), "logic", m.group(1), LOGIC_SWAPS[m.group(1)]))
        if not re.search(r"\[\s*\d+\s*\]\s*[;{=]|std::array<", code):  # not a size
            for m in INTEGER.finditer(code):
                value = m.group(1)
                octal = len(value) > 1 and value.startswith("0")  # 0666 -> 0667, not 667
                after = "0" + format(int(value, 8) + 1, "o") if octal else str(int(value) + 1)
                sites.append((number, m.start(), "const", value, after))
        if starts_statement and STATEMENT.match(code) and not DECLARATION_START.match(code) and stripped.endswith(";"):
            sites.append((number, len(line) - len(line.lstrip()), "delete", stripped, ";"))
        r = RETURN.match(code)
        if r and stripped.endswith(";"):
            sites.append((number, len(r.group(1)), "return", stripped, "return {};"))
    return sites


def all_sites(tree, paths):
    files = []
    for root in paths:
        root_path = tree / root
        files += sorted(p for p in root_path.rglob("*.cpp")) if root_path.is_dir() else [root_path]
    sites = []
    for f in files:
        rel = f.relative_to(tree)
        for number, column, kind, original, replacement in candidate_sites(f):
            sites.append({"file": str(rel), "line": number, "column": column, "kind": kind,
                          "original": original, "replacement": replacement})
    return sites


def mutated_text(text, site):
    lines = text.split("\n")
    line = lines[site["line"] - 1]
    column = site["column"]
    if site["kind"] in ("delete", "return"):
        lines[site["line"] - 1] = line[:column] + site["replacement"]
    else:
        assert line[column:column + len(site["original"])] == site["original"], site
        lines[site["line"] - 1] = (line[:column] + site["replacement"] +
                                   line[column + len(site["original"]):])
    return "\n".join(lines)


def run(command, cwd, timeout=None):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def prepare_scratch(scratch, revision):
    tree = scratch / "tree"
    head = run(["git", "rev-parse", revision], REPO).stdout.strip()
    if not tree.exists():
        run(["git", "worktree", "add", "--detach", str(tree), head], REPO)
    else:
        run(["git", "checkout", "--detach", "--force", head], tree)
    run(["git", "reset", "--hard", head], tree)
    build = scratch / "build"
    configure = run(["cmake", "-S", str(tree), "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DSURVSEQ_BENCHMARKS=OFF"], REPO)
    if configure.returncode != 0:
        sys.exit("configure failed:\n" + configure.stdout)
    return tree, build


def build_and_test(build, timeout):
    jobs = str(os.cpu_count() or 2)
    made = run(["cmake", "--build", str(build), "-j", jobs], REPO)
    if made.returncode != 0:
        return "stillborn"
    try:
        tested = run(["ctest", "--test-dir", str(build), "-j", jobs, "--stop-on-failure",
                      "--timeout", str(timeout)], REPO, timeout=timeout * 4)
    except subprocess.TimeoutExpired:
        return "killed"  # a hang is caught too: the suite does not pass
    return "survived" if tested.returncode == 0 else "killed"


def score_table(results):
    by_file = {}
    for r in results:
        row = by_file.setdefault(r["file"], {"killed": 0, "survived": 0, "stillborn": 0})
        row[r["result"]] += 1
    lines = [f"{'file':44} {'killed':>6} {'survived':>8} {'stillborn':>9} {'score':>6}"]
    total = {"killed": 0, "survived": 0, "stillborn": 0}
    for name in sorted(by_file):
        row = by_file[name]
        for k in total:
            total[k] += row[k]
        judged = row["killed"] + row["survived"]
        score = f"{row['killed'] / judged:.2f}" if judged else "-"
        lines.append(f"{name:44} {row['killed']:6} {row['survived']:8} {row['stillborn']:9} {score:>6}")
    judged = total["killed"] + total["survived"]
    score = f"{total['killed'] / judged:.3f}" if judged else "-"
    lines.append(f"{'all':44} {total['killed']:6} {total['survived']:8} {total['stillborn']:9} {score:>6}")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--sample", type=int, default=60)
    parser.add_argument("--paths", nargs="+", default=["src"])
    parser.add_argument("--timeout", type=int, default=300, help="seconds for one test")
    parser.add_argument("--scratch", default="build-mutation")
    parser.add_argument("--revision", default="HEAD", help="the commit whose sources are mutated")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--json")
    args = parser.parse_args()

    scratch = (REPO / args.scratch).resolve()
    tree, build = prepare_scratch(scratch, args.revision)
    sites = all_sites(tree, args.paths)
    sample = random.Random(args.seed).sample(sites, min(args.sample, len(sites)))
    sample.sort(key=lambda s: (s["file"], s["line"], s["column"], s["kind"]))
    print(f"{len(sites)} candidate sites, {len(sample)} in the sample of seed {args.seed}")
    if args.list:
        for s in sample:
            print(f"{s['file']}:{s['line']}: {s['kind']}: {s['original']!r} -> {s['replacement']!r}")
        return

    if build_and_test(build, args.timeout) != "survived":
        sys.exit("the unmutated suite does not pass in " + str(tree))
    results = []
    started = time.time()
    for i, site in enumerate(sample, start=1):
        path = tree / site["file"]
        original = path.read_text()
        try:
            path.write_text(mutated_text(original, site))
            result = build_and_test(build, args.timeout)
        finally:
            path.write_text(original)
        results.append(dict(site, result=result))
        print(f"[{i}/{len(sample)} {time.time() - started:6.0f} s] {result:9} "
              f"{site['file']}:{site['line']}: {site['kind']}: "
              f"{site['original']!r} -> {site['replacement']!r}", flush=True)
    build_and_test(build, args.timeout)  # leave the scratch build unmutated

    print()
    print(score_table(results))
    survivors = [r for r in results if r["result"] == "survived"]
    if survivors:
        print("\nsurviving mutants:")
        for r in survivors:
            print(f"  {r['file']}:{r['line']}: {r['kind']}: {r['original']!r} -> {r['replacement']!r}")
    if args.json:
        Path(args.json).write_text(json.dumps(results, indent=1) + "\n")


if __name__ == "__main__":
    main()
