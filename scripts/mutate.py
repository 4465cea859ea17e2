#!/usr/bin/env python3
"""Lists and plants the source faults that scripts/mutate.sh tries, one at a time.

  mutate.py list SEED COUNT FILE...   prints COUNT faults as "file<TAB>line<TAB>index" rows
  mutate.py show FILE LINE INDEX      prints the line before and after the fault
  mutate.py plant FILE LINE INDEX     writes the fault into FILE

Every site of every operator in the files is a candidate; the seed shuffles them, so the same seed
over the same sources gives the same list.
"""
import random
import re
import sys

# (pattern, replacement) pairs applied to one match in one line.
OPERATORS = [
    (r"(?<= )==(?= )", "!="),
    (r"(?<= )!=(?= )", "=="),
    (r"(?<= )<=(?= )", "<"),
    (r"(?<= )>=(?= )", ">"),
    (r"(?<= )<(?= )", "<="),
    (r"(?<= )>(?= )", ">="),
    (r"&&", "||"),
    (r"\|\|", "&&"),
    (r" \+ 1\b", ""),
    (r" - 1\b", ""),
    (r"\b(\w+)\]", r"\1 + 1]"),
    (r"\bif \((.*)\)( \{)?$", r"if (!(\1))\2"),
    (r"\bwhile \((.*)\)( \{)?$", r"while (!(\1))\2"),
    (r"(?<![\w.])([1-9][0-9]*|0x[0-9A-Fa-f]+)\b(?!\.)", None),  # constant + 1
    (r"^(\s*)(return\b[^;]*;)\s*$", r"\1;"),  # early return removed (only after an if)
    (r"^(\s*)([^\s{}#].*;)\s*$", r"\1;"),  # statement removed
]

# A call or an assignment, not a declaration: removing one still compiles.
STATEMENT = r"^\s*[\w.\->\[\]*]+(\(|\s*(=|\+=|-=|\|=|&=|<<=|>>=)\s|\+\+|--)"
SKIP = re.compile(r"^\s*(#|//|\*|/\*|template|using|namespace|struct|class|enum|case\b|default:)")


def sites(path):
    """Yields (line number, operator index, match start) for every candidate fault in the file."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    depth = 0
    for number, text in enumerate(lines, 1):
        code = text.split("//")[0].rstrip()
        opens = code.count("{") - code.count("}")
        inside = depth > 0
        depth += opens
        if not code.strip() or SKIP.match(code) or not inside or '"' in code or "'" in code:
            continue
        previous = lines[number - 2].strip() if number > 1 else ""
        for op, (pattern, _) in enumerate(OPERATORS):
            if op == 14 and not previous.startswith("if "):
                continue
            if op == 15 and (code.lstrip().startswith("return") or code.rstrip().endswith(",")):
                continue
            if op == 15 and not (re.match(STATEMENT, code) and previous[-1:] in (";", "{", "}")):
                continue
            for m in re.finditer(pattern, code):
                yield number, op, m.start()


def mutate(text, op, start):
    pattern, replacement = OPERATORS[op]
    m = re.compile(pattern).search(text, start)
    if op == 13:
        value = int(m.group(1), 0)
        new = hex(value + 1) if m.group(1).startswith("0x") else str(value + 1)
        return text[: m.start()] + new + text[m.end():]
    return text[: m.start()] + m.expand(replacement) + text[m.end():]


def all_faults(files):
    for path in files:
        for number, op, start in sites(path):
            yield path, number, "%d:%d" % (op, start)


def locate(path, number, index):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    op, start = (int(x) for x in index.split(":"))
    return lines, number - 1, op, start


def main(argv):
    if argv[1] == "list":
        seed, count = int(argv[2]), int(argv[3])
        faults = list(all_faults(sorted(argv[4:])))
        random.Random(seed).shuffle(faults)
        for path, number, index in faults[:count]:
            print("%s\t%d\t%s" % (path, number, index))
        return 0
    lines, i, op, start = locate(argv[2], int(argv[3]), argv[4])
    after = mutate(lines[i], op, start)
    if argv[1] == "show":
        print("%s\t%s" % (lines[i].strip(), after.strip()))
        return 0
    lines[i] = after
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
