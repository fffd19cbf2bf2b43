#!/usr/bin/env python3
"""A plain Python version of dropkit-batch's listing job, the baseline of listing_bench.sh.

Reads a name list (one name per line) and writes a randomized omission listing with the
same layout as dropkit-batch --output: a header line, a date line, then for each group a
heading and the group's names, each drawn with random.sample and kept in list order.

Usage: listing_reference.py NAMES --omit K --groups R [--seed S] --output FILE
"""

import argparse
import datetime
import random
import sys


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("names")
    parser.add_argument("--omit", "-k", type=int, required=True)
    parser.add_argument("--groups", "-r", type=int, required=True)
    parser.add_argument("--seed", "-s", type=int)
    parser.add_argument("--output", "-o", required=True)
    args = parser.parse_args()

    # Each name keeps its line end, as dropkit's reader does.
    with open(args.names, encoding="utf-8") as f:
        names = f.readlines()
    if args.omit > len(names):
        print(f"cannot omit {args.omit} of {len(names)} names", file=sys.stderr)
        return 1

    rng = random.Random(args.seed)
    now = datetime.datetime.now()
    parts = [
        f"Randomized listing of {args.groups} groups to {args.omit} taxa to omit\n",
        f"{now:%Y-%m-%d} : {now.hour}:{now.minute}\n",
    ]
    slots = range(len(names))
    for r in range(1, args.groups + 1):
        parts.append(f"\n***  Repetition {r}  *****************************")
        for i in sorted(rng.sample(slots, args.omit)):
            parts.append("\n" + names[i])

    with open(args.output, "w", encoding="utf-8") as out:
        out.write("".join(parts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
