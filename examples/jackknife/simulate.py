#!/usr/bin/env python3
"""Simulates the example alignment: 600 DNA sites evolved under the Jukes-Cantor model
along a fixed tree of 16 taxa (true.tre). The names are invented; the data are not of
any real organism. Run it again to get the same file: the seed is fixed."""
import math
import random

# Some inner branches are short, so that leaving taxa out can break the clades they hold.
TREE = ("((((Alpha:0.06,Beta:0.08):0.05,(Gamma:0.07,Delta:0.05):0.006):0.03,"
        "((Epsilon:0.09,Zeta:0.06):0.06,(Eta:0.05,Theta:0.07):0.004):0.04):0.03,"
        "(((Iota:0.08,Kappa:0.06):0.05,(Lambda:0.04,Mu:0.09):0.03):0.003,"
        "((Nu:0.07,Xi:0.05):0.04,(Omicron:0.06,Pi:0.08):0.05):0.06):0.005);")
SITES = 600


def parse(text, pos=0):
    """Returns (node, pos): a node is (name, length, children)."""
    children = []
    if text[pos] == "(":
        pos += 1
        while True:
            child, pos = parse(text, pos)
            children.append(child)
            if text[pos] == ",":
                pos += 1
                continue
            pos += 1  # ")"
            break
    start = pos
    while text[pos] not in ",():;":
        pos += 1
    name = text[start:pos]
    length = 0.0
    if text[pos] == ":":
        pos += 1
        start = pos
        while text[pos] not in ",();":
            pos += 1
        length = float(text[start:pos])
    return (name, length, children), pos


def evolve(node, parent_seq, rng, out):
    name, length, children = node
    p_change = 0.75 * (1 - math.exp(-4.0 * length / 3.0))
    seq = [rng.choice("ACGT".replace(b, "")) if rng.random() < p_change else b
           for b in parent_seq]
    if children:
        for child in children:
            evolve(child, seq, rng, out)
    else:
        out.append((name, "".join(seq)))


def main():
    rng = random.Random(20261207)
    root, _ = parse(TREE)
    root_seq = [rng.choice("ACGT") for _ in range(SITES)]
    leaves = []
    for child in root[2]:
        evolve(child, root_seq, rng, leaves)
    with open("example.fasta", "w") as f:
        for name, seq in leaves:
            f.write(">" + name + "\n")
            for i in range(0, len(seq), 60):
                f.write(seq[i:i + 60] + "\n")
    with open("true.tre", "w") as f:
        f.write(TREE + "\n")


if __name__ == "__main__":
    main()
