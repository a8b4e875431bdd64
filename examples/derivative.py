#!/usr/bin/env python3
"""Finite differences of a solver's results over a tavo sweep.

usage: derivative.py MANIFEST RESULTS

MANIFEST is the file tavo wrote under TAVO_MANIFEST.  RESULTS is a CSV file
with a header line and one result per case: columns `case,result`, or
`file,result` with the generated file's name.  Cases without a result are
left out.

For each pair of consecutive cases that have results, the difference of the
results is divided by the difference of the values written into the two
generated files (the manifest's `value` column: what the solver read, to
four decimals), not by the difference of the sweep values added.  Where the
cases have a middle one (an odd number of three or more), the central
difference over its two neighbours is printed too.

Output, CSV on standard output:
    kind,case_from,case_to,value_from,value_to,derivative
with kind `consecutive` or `central`.  A first line starting with `#`
names the quantity and the frame.

Two cases whose written values are equal are refused (exit status 2): the
shift between them is below the four decimals the file holds, and the
difference would be 0/0.  So is a case whose field did not fit (asterisks).
"""
import csv
import sys
from fractions import Fraction

MANIFEST_COLUMNS = ["case", "file", "quantity", "sweep", "frame", "base", "value"]


class Refusal(Exception):
    pass


def read_csv(path, what):
    try:
        with open(path, newline="") as f:
            rows = list(csv.reader(f))
    except OSError as e:
        raise Refusal("cannot read the %s %s: %s" % (what, path, e.strerror))
    if not rows:
        raise Refusal("the %s %s is empty" % (what, path))
    return rows[0], rows[1:]


def read_manifest(path):
    header, rows = read_csv(path, "manifest")
    if header != MANIFEST_COLUMNS:
        raise Refusal("%s is not a tavo manifest with the columns %s" % (path, ",".join(MANIFEST_COLUMNS)))
    cases = []
    for row in rows:
        if len(row) != len(MANIFEST_COLUMNS):
            raise Refusal("%s: a line does not have %d columns: %s" % (path, len(MANIFEST_COLUMNS), ",".join(row)))
        entry = dict(zip(MANIFEST_COLUMNS, row))
        entry["case"] = int(entry["case"])
        cases.append(entry)
    if not cases:
        raise Refusal("the manifest %s lists no case" % path)
    return cases


def read_results(path, cases):
    header, rows = read_csv(path, "results")
    if len(header) != 2 or header[0] not in ("case", "file") or header[1] != "result":
        raise Refusal("%s: the header must be case,result or file,result" % path)
    by_key = {(str(c["case"]) if header[0] == "case" else c["file"]): c for c in cases}
    results = {}
    for row in rows:
        if not row:
            continue
        if len(row) != 2:
            raise Refusal("%s: a line does not have two columns: %s" % (path, ",".join(row)))
        key, text = row[0].strip(), row[1].strip()
        case = by_key.get(key)
        if case is None:
            raise Refusal("%s: %s %s is not in the manifest" % (path, header[0], key))
        try:
            results[case["case"]] = float(text)
        except ValueError:
            raise Refusal("%s: the result of %s %s is not a number: %s" % (path, header[0], key, text))
    return results


def written_value(case):
    text = case["value"]
    if set(text) == {"*"}:
        raise Refusal("case %d (%s): the value did not fit its field in the generated file"
                      % (case["case"], case["file"]))
    return Fraction(text)


def slope(a, b, results):
    va, vb = written_value(a), written_value(b)
    if va == vb:
        raise Refusal("cases %d and %d (%s and %s) hold the same written value %s: the shift between them "
                      "is below the four decimals of the generated file, so the difference would be 0/0; "
                      "use a larger step"
                      % (a["case"], b["case"], a["file"], b["file"], a["value"]))
    return (results[b["case"]] - results[a["case"]]) / float(vb - va)


def derivatives(cases, results):
    """Rows (kind, case_from, case_to, value_from, value_to, derivative)."""
    used = [c for c in sorted(cases, key=lambda c: c["case"]) if c["case"] in results]
    if len(used) < 2:
        raise Refusal("at least two cases need results; %d have" % len(used))
    rows = []
    for a, b in zip(used, used[1:]):
        rows.append(("consecutive", a, b, slope(a, b, results)))
    if len(used) >= 3 and len(used) % 2 == 1:
        middle = len(used) // 2
        a, b = used[middle - 1], used[middle + 1]
        rows.append(("central", a, b, slope(a, b, results)))
    return rows


def frame_note(case):
    if case["frame"] == "2":
        return ("frame 2: the values are the vehicle's, so the flow relative to the vehicle "
                "moves by minus the shift")
    return "frame 1: the values are the free stream's"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: derivative.py MANIFEST RESULTS\n")
        return 2
    try:
        cases = read_manifest(argv[1])
        results = read_results(argv[2], cases)
        rows = derivatives(cases, results)
    except Refusal as e:
        sys.stderr.write("derivative.py: %s\n" % e)
        return 2
    first = cases[0]
    out = csv.writer(sys.stdout, lineterminator="\n")
    sys.stdout.write("# d(result)/d(%s) over the written values; %s\n" % (first["quantity"], frame_note(first)))
    out.writerow(["kind", "case_from", "case_to", "value_from", "value_to", "derivative"])
    for kind, a, b, d in rows:
        out.writerow([kind, a["case"], b["case"], a["value"], b["value"], repr(d)])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
