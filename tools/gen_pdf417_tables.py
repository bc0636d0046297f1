#!/usr/bin/env python3
"""Generates barcode/Pdf417Tables.cpp: the bar-space patterns of the 929 PDF417
codewords in clusters 0, 3 and 6.

The patterns are facts of the symbology. Rather than typing them in, this script
learns them from the `zint` command used as a black box: it encodes digit strings
whose codewords it can predict (numeric compaction, Reed-Solomon check words
computed here), reads the module dump of each symbol and cuts every row into its
17-module codewords. Crafted content steers the missing (cluster, codeword) pairs
into rows of the right cluster until every pair has been seen. Each pair must
always show the same pattern and no two codewords of a cluster may share one, so
a wrong prediction stops the script instead of producing a bad table.

Usage: tools/gen_pdf417_tables.py [output.cpp]   (default barcode/Pdf417Tables.cpp)
"""

import os
import random
import subprocess
import sys

GF = 929
CLUSTERS = (0, 3, 6)
START = "11111111010101000"
COLS = 30           # data columns of every learning symbol
LEVEL = 8           # 512 check words per symbol: plenty of values from 900 up


def rs_coefficients(level):
    """Coefficients of prod (x - 3^i), i = 1..k, lowest power first, leading 1 left out."""
    k = 2 ** (level + 1)
    poly = [1]
    root = 1
    for _ in range(k):
        root = root * 3 % GF
        nxt = [0] * (len(poly) + 1)
        for i, c in enumerate(poly):
            nxt[i + 1] = (nxt[i + 1] + c) % GF
            nxt[i] = (nxt[i] - root * c) % GF
        poly = nxt
    return poly[:k]


def rs_check_words(data, level):
    a = rs_coefficients(level)
    k = len(a)
    e = [0] * k
    for c in data:
        t = (c + e[k - 1]) % GF
        for i in range(k - 1, 0, -1):
            e[i] = (e[i - 1] - t * a[i]) % GF
        e[0] = (-t * a[0]) % GF
    return [(GF - v) % GF for v in reversed(e)]


def numeric_group(codewords):
    """The 44 digits whose numeric compaction gives these 15 codewords (the first one
    must keep the value between 10^44 and 2 * 10^44)."""
    value = 0
    for c in codewords:
        value = value * 900 + c
    text = str(value)
    assert len(text) == 45 and text[0] == "1", codewords
    return text[1:]


def run_zint(digits):
    out = subprocess.run(
        ["zint", "-b", "PDF417", "--dump", f"--cols={COLS}", f"--secure={LEVEL}", "-d", digits],
        check=True, capture_output=True, text=True).stdout
    width = COLS * 17 + 69
    rows = []
    for line in out.split("\n"):
        line = line.strip()
        if not line:
            continue
        bits = "".join(f"{int(h, 16):08b}" for h in line.split())
        rows.append(bits[:width])
    return rows


def widths(bits):
    runs = []
    prev = None
    for b in bits:
        if b == prev:
            runs[-1] += 1
        else:
            runs.append(1)
            prev = b
    assert bits[0] == "1" and len(runs) == 8 and sum(runs) == 17, bits
    return int("".join(str(r) for r in runs))


def learn(groups, table, owner):
    digits = "".join(numeric_group(g) for g in groups)
    data = [0, 902] + [c for g in groups for c in g]
    rows = run_zint(digits)
    n_rows = len(rows)
    ecc = 2 ** (LEVEL + 1)
    pads = n_rows * COLS - ecc - len(data)
    if pads < 0:
        raise SystemExit("zint made fewer rows than the codewords need")
    data += [900] * pads
    data[0] = len(data)
    words = data + rs_check_words(data, LEVEL)
    for r, bits in enumerate(rows):
        if not bits.startswith(START):
            raise SystemExit(f"row {r} does not begin with the start pattern")
        cluster = r % 3
        base = 30 * (r // 3)
        left = (base + (n_rows - 1) // 3, base + 3 * LEVEL + (n_rows - 1) % 3, base + COLS - 1)[cluster]
        right = (base + COLS - 1, base + (n_rows - 1) // 3, base + 3 * LEVEL + (n_rows - 1) % 3)[cluster]
        row_words = [left] + words[r * COLS:(r + 1) * COLS] + [right]
        for j, cw in enumerate(row_words):
            pat = widths(bits[17 * (j + 1):17 * (j + 2)])
            e = [int(d) for d in str(pat)]
            if (e[0] - e[2] + e[4] - e[6] + 9) % 9 != CLUSTERS[cluster]:
                raise SystemExit(f"row {r} holds a pattern of another cluster")
            key = (cluster, cw)
            if table.get(key, pat) != pat:
                raise SystemExit(f"codeword {cw} of cluster {CLUSTERS[cluster]} seen with two patterns")
            if owner.get((cluster, pat), cw) != cw:
                raise SystemExit(f"pattern {pat} of cluster {CLUSTERS[cluster]} seen for two codewords")
            table[key] = pat
            owner[(cluster, pat)] = cw


def crafted_groups(missing, rng, n_groups):
    """Digit groups that put missing codewords below 900 into rows of their cluster."""
    want = {c: [v for (cl, v) in missing if cl == c and v < 900] for c in range(3)}
    groups = []
    for g in range(n_groups):
        group = [rng.randrange(437, 875)]
        for j in range(1, 15):
            pos = 2 + 15 * g + j
            cluster = (pos // COLS) % 3
            group.append(want[cluster].pop() if want[cluster] else rng.randrange(900))
        groups.append(group)
    return groups


def main():
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "barcode", "Pdf417Tables.cpp")
    rng = random.Random(417)
    table, owner = {}, {}
    for _ in range(200):
        missing = [(c, v) for c in range(3) for v in range(GF) if (c, v) not in table]
        if not missing:
            break
        learn(crafted_groups(missing, rng, 12), table, owner)
    else:
        raise SystemExit("some codewords were never seen")

    assert rs_coefficients(0) == [27, 917] and rs_coefficients(1) == [522, 568, 723, 809]
    lines = [
        "// Generated by tools/gen_pdf417_tables.py from the zint command; do not edit.",
        "// Bar-space widths of the 929 codewords of clusters 0, 3 and 6, one decimal",
        "// digit per element, first digit a bar.",
        "",
        '#include "barcode/Pdf417Tables.h"',
        "",
        "const std::array<std::array<uint32_t, 929>, 3> kPdf417Clusters = {{",
    ]
    for c in range(3):
        lines.append("    {{")
        for v in range(0, GF, 8):
            row = ", ".join(str(table[(c, w)]) for w in range(v, min(v + 8, GF)))
            lines.append(f"        {row},")
        lines.append("    }},")
    lines.append("}};")
    with open(out_path, "w") as f:
        f.write("\n".join(lines) + "\n")
    print(f"wrote {os.path.normpath(out_path)}")


if __name__ == "__main__":
    main()
