#!/usr/bin/env python3
"""examples/derivative.py on manifests that tavo writes here: the derivative
is the slope of made-up results over the values written into the files, in
both frames, and sweeps whose written values collide are refused.

usage: derivative_test.py TAVO SOURCE_DIR [RUNNER ...]
RUNNER, when given, is the command that runs TAVO (an emulator)."""
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from fractions import Fraction

TAVO, SOURCE = sys.argv[1], sys.argv[2]
RUNNER = sys.argv[3:]
SCRIPT = os.path.join(SOURCE, "examples", "derivative.py")


def result_of(value):
    # A made-up solver result, not linear, so that each pair has its own slope.
    return 3.0 * value + 0.25 * value * value - 7.0


class Derivative(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tavo-derivative-")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def sweep(self, example, args):
        shutil.copy(os.path.join(SOURCE, "examples", example), self.dir)
        env = {k: v for k, v in os.environ.items() if not k.startswith(("FOR", "TAVO"))}
        env["TAVO_MANIFEST"] = "m.csv"
        run = subprocess.run(RUNNER + [TAVO] + args, cwd=self.dir, env=env, capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        with open(os.path.join(self.dir, "m.csv"), newline="") as f:
            return list(csv.DictReader(f))

    def derivative(self, results, key="case"):
        with open(os.path.join(self.dir, "r.csv"), "w") as f:
            f.write("%s,result\n" % key)
            for k, r in results:
                f.write("%s,%r\n" % (k, r))
        return subprocess.run([sys.executable, SCRIPT, "m.csv", "r.csv"], cwd=self.dir, capture_output=True,
                              text=True)

    def check_slopes(self, manifest, key, frame_words):
        values = [Fraction(row["value"]) for row in manifest]
        results = [result_of(float(v)) for v in values]
        run = self.derivative([(row[key], r) for row, r in zip(manifest, results)], key)
        self.assertEqual(run.returncode, 0, run.stderr)
        lines = run.stdout.splitlines()
        self.assertIn(frame_words, lines[0])
        rows = list(csv.DictReader(io.StringIO("\n".join(lines[1:]))))
        expected = [("consecutive", i, i + 1) for i in range(len(values) - 1)]
        if len(values) >= 3 and len(values) % 2:
            m = len(values) // 2
            expected.append(("central", m - 1, m + 1))
        self.assertEqual([(r["kind"], int(r["case_from"]), int(r["case_to"])) for r in rows],
                         [(k, a + 1, b + 1) for k, a, b in expected])
        for row, (kind, a, b) in zip(rows, expected):
            self.assertEqual(row["value_from"], manifest[a]["value"])
            self.assertEqual(float(row["derivative"]), (results[b] - results[a]) / float(values[b] - values[a]),
                             row)

    def test_frame_one_over_the_written_values(self):
        # The shift is 0.00007: the files hold 68.0299 and 68.0301, and the
        # slope is over 0.0002, not over 0.00014.
        manifest = self.sweep("wing.inp", ["1", "wing", "t", "-.00007", ".00007", ".00007"])
        self.assertEqual([r["value"] for r in manifest], ["68.0299", "68.0300", "68.0301"])
        self.check_slopes(manifest, "case", "frame 1: the values are the free stream's")

    def test_frame_two_by_file_name(self):
        # Four cases: no middle one, so no central difference.
        manifest = self.sweep("rotor.inp", ["3", "rotor", "r", "-1.5", "1.5", "1."])
        self.assertEqual(len(manifest), 4)
        self.assertEqual({r["frame"] for r in manifest}, {"2"})
        self.check_slopes(manifest, "file", "frame 2: the values are the vehicle's")

    def test_equal_written_values_are_refused(self):
        manifest = self.sweep("wing.inp", ["1", "wing", "t", "-.00003", ".00003", ".00006"])
        self.assertEqual(manifest[0]["value"], manifest[1]["value"])
        run = self.derivative([(1, 1.0), (2, 2.0)])
        self.assertEqual(run.returncode, 2)
        self.assertEqual(run.stdout, "")
        self.assertIn("cases 1 and 2 (t1TAVO.inp and t2TAVO.inp) hold the same written value 68.0300", run.stderr)
        self.assertIn("below the four decimals", run.stderr)

    def test_cases_without_results_are_left_out(self):
        manifest = self.sweep("wing.inp", ["1", "wing", "t", "-1.", "1.", "1."])
        values = [float(Fraction(r["value"])) for r in manifest]
        run = self.derivative([(1, 1.0), (3, 5.0)])
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = list(csv.DictReader(io.StringIO("\n".join(run.stdout.splitlines()[1:]))))
        self.assertEqual([(r["case_from"], r["case_to"]) for r in rows], [("1", "3")])
        self.assertEqual(float(rows[0]["derivative"]), 4.0 / (values[2] - values[0]))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
