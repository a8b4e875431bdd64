#!/usr/bin/env python3
"""Extract the binary32 bits and the decimal string of every line of the
vector files in SOURCE_DIR (every *.txt, in name order) into one file.

Input lines: 4 hex digits, 8 hex digits (binary32), 16, 32, each followed by
one blank, then the decimal string.  Output lines: the 8 hex digits, one
blank, the decimal string.

usage: make_vectors.py SOURCE_DIR OUTPUT_FILE
"""
import pathlib
import re
import sys

LINE = re.compile(r"^[0-9A-Fa-f]{4} ([0-9A-Fa-f]{8}) [0-9A-Fa-f]{16} [0-9A-Fa-f]{32} (\S+)$")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    rows = []
    for path in sorted(source.glob("*.txt")):
        for number, line in enumerate(path.read_text(encoding="ascii").splitlines(), 1):
            match = LINE.match(line)
            if not match:
                sys.exit(f"{path.name}:{number}: unexpected line")
            rows.append(f"{match.group(1).upper()} {match.group(2)}\n")
    with open(output, "w", encoding="ascii", newline="\n") as out:
        out.write("# binary32 bits (hex), one blank, decimal string\n")
        out.writelines(rows)
    print(f"{len(rows)} lines written to {output}")


if __name__ == "__main__":
    main()
