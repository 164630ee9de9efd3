#!/usr/bin/env python3
"""Builds assets/bank.txt, the question bank compiled into the program.

The knowledge questions are kept as UTF-8 text in assets/bank-src/<topic>.txt,
one "question|answer" per line. The arithmetic puzzles are generated here from
a fixed seed. The output is GBK with CR LF between lines and none after the
last, in a fixed shuffled order, so the same sources always give the same bytes.

    build_bank.py            write assets/bank.txt and print counts per topic
    build_bank.py --check    exit 1 if assets/bank.txt differs from what it would write
"""
import argparse
import pathlib
import random
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
SRC = ROOT / "assets" / "bank-src"
OUT = ROOT / "assets" / "bank.txt"

ARITHMETIC_LINES = 1100
FIRST_LINE = "(45X73-45X53)÷2结果等于多少？|450"

ASKS = ["结果等于多少？", "等于多少？", "的结果是多少？", "等于几？", "=？", "结果是多少？", "得多少？"]
TIMES = ["X", "×", "X", "*"]


class Gen:
    def __init__(self, seed):
        self.r = random.Random(seed)

    def n(self, lo, hi):
        return self.r.randint(lo, hi)

    def times(self):
        return self.r.choice(TIMES)

    def ask(self):
        return self.r.choice(ASKS)

    def form(self):
        """One puzzle as (expression text, value); every division is exact."""
        r, t = self.r, self.times()
        kind = r.randrange(10)
        if kind == 0:  # (aXb-aXc)÷d, the factored classic
            a, b, c = self.n(11, 99), self.n(20, 99), self.n(10, 99)
            if b == c:
                c = b - 1
            diff = a * (b - c)
            ds = [d for d in range(2, 10) if diff % d == 0]
            d = r.choice(ds) if ds else 1
            op = "-"
            if b < c:
                op, diff = "+", a * (b + c)
                ds = [d for d in range(2, 10) if diff % d == 0]
                d = r.choice(ds) if ds else 1
            return f"({a}{t}{b}{op}{a}{t}{c})÷{d}", diff // d
        if kind == 1:  # a+bXc
            a, b, c = self.n(1, 999), self.n(2, 99), self.n(2, 99)
            return f"{a}+{b}{t}{c}", a + b * c
        if kind == 2:  # (a+b)X(c-d)
            a, b, c, d = self.n(1, 99), self.n(1, 99), self.n(20, 99), self.n(1, 19)
            return f"({a}+{b}){t}({c}-{d})", (a + b) * (c - d)
        if kind == 3:  # a÷b+c
            b, q, c = self.n(2, 30), self.n(2, 99), self.n(1, 999)
            return f"{b * q}÷{b}+{c}", q + c
        if kind == 4:  # aXb-c
            a, b = self.n(11, 99), self.n(11, 99)
            c = self.n(1, a * b - 1)
            return f"{a}{t}{b}-{c}", a * b - c
        if kind == 5:  # aXb+aXc
            a, b, c = self.n(2, 99), self.n(2, 99), self.n(2, 99)
            return f"{a}{t}{b}+{a}{t}{c}", a * (b + c)
        if kind == 6:  # a-b+c-d
            a, b, c, d = self.n(100, 999), self.n(1, 99), self.n(1, 999), self.n(1, 99)
            return f"{a}-{b}+{c}-{d}", a - b + c - d
        if kind == 7:  # (a-b)÷c
            c, q, b = self.n(2, 25), self.n(2, 80), self.n(1, 200)
            return f"({c * q + b}-{b})÷{c}", q
        if kind == 8:  # aXbXc
            a, b, c = self.n(2, 30), self.n(2, 30), self.n(2, 20)
            return f"{a}{t}{b}{t}{c}", a * b * c
        a, b, c = self.n(2, 50), self.n(2, 50), self.n(2, 9)  # aXb÷c, exact
        while (a * b) % c:
            c -= 1
        return f"{a}{t}{b}÷{c}", a * b // c

    def lines(self, count, taken):
        out = []
        while len(out) < count:
            expr, value = self.form()
            q = expr + self.ask()
            if value < 0 or q in taken:
                continue
            taken.add(q)
            out.append((q, str(value)))
        return out


def read_sources():
    topics = {}
    for path in sorted(SRC.glob("*.txt")):
        rows = []
        for n, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            if not raw.strip():
                continue
            if raw.count("|") != 1:
                sys.exit(f"{path.name}:{n}: a line needs exactly one bar: {raw!r}")
            q, a = raw.split("|")
            rows.append((q, a))
        topics[path.stem] = rows
    return topics


def build():
    topics = read_sources()
    taken = {}
    knowledge = []
    twice = []
    for name, rows in topics.items():
        for q, a in rows:
            if q in taken:
                twice.append(f"{name} and {taken[q]}: {q}")
            taken[q] = name
            knowledge.append((q, a))
    if twice:
        sys.exit("questions given twice:\n" + "\n".join(twice))
    taken = set(taken)
    first_q, first_a = FIRST_LINE.split("|")
    taken.add(first_q)
    arithmetic = [(first_q, first_a)] + Gen(20261208).lines(ARITHMETIC_LINES - 1, taken)
    rest = knowledge + arithmetic[1:]
    random.Random(3476).shuffle(rest)
    lines = [arithmetic[0]] + rest
    data = "\r\n".join(f"{q}|{a}" for q, a in lines).encode("gbk")
    counts = {name: len(rows) for name, rows in topics.items()}
    counts["arithmetic"] = len(arithmetic)
    return data, counts


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--check", action="store_true")
    args = ap.parse_args()
    data, counts = build()
    if args.check:
        if not OUT.exists() or OUT.read_bytes() != data:
            print("assets/bank.txt is out of date: run tools/bank/build_bank.py", file=sys.stderr)
            return 1
        print("assets/bank.txt is up to date")
        return 0
    OUT.write_bytes(data)
    total = sum(counts.values())
    for name, c in counts.items():
        print(f"{name:12} {c:5}")
    print(f"{'lines':12} {total:5}\n{'bytes':12} {len(data):5}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
