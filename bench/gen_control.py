#!/usr/bin/env python3
"""Writes a synthetic control file: a title, solver settings, NROTOR and
SFRAME blocks, and filler lines of keywords and values, to the size asked.

usage: gen_control.py LINES [BLOCKS] > file.inp
BLOCKS frame-1 flight-condition blocks are spread through the file (the
first one is the block the scan reads)."""
import random
import sys

lines = int(sys.argv[1])
blocks = int(sys.argv[2]) if len(sys.argv) > 2 else 1
rng = random.Random(20261208)
out = ["Synthetic configuration for throughput measurements, SI units",
       "MESH", " synthetic.grid",
       "NROTOR      UNITS", " 0          0"]
block = ["SFRAME      (1 = body axes, 2 = inertial frame)", " 1",
         "U_INF       V_INF    W_INF    P_RATE   Q_RATE   R_RATE",
         " 68.03      0.0      5.95     0.0      0.0      0.0"]
filler_keys = ["REFERENCE", "FLUID", "TURBULENCE", "OUTPUT", "SCHEDULE", "PROBE", "LIMITER", "SMOOTHING"]
body = max(lines - len(out) - 1 - 4 * blocks, 0)
per_gap = body // (2 * blocks) if blocks else body
for b in range(blocks):
    for _ in range(per_gap):
        key = rng.choice(filler_keys)
        out.append("%-11s %s" % (key, "   ".join("VALUE%d" % i for i in range(rng.randint(1, 5)))))
        out.append(" " + "   ".join("%.6g" % rng.uniform(-1000, 1000) for _ in range(rng.randint(1, 6))))
    out.extend(block)
while len(out) < lines - 1:
    out.append("! comment line %d" % len(out))
out.append("END")
sys.stdout.write("\n".join(out) + "\n")
