#!/usr/bin/env python3
"""Fails when a SQL text in the sources is built from a variable.

Every value reaches SQLite as a bound parameter. This check reads the C++
sources and reports every SQL string literal (a literal holding SQL words
such as SELECT, INSERT INTO, DELETE FROM, UPDATE … SET, WHERE) that is joined
with anything but another literal: "+" or "%" with a variable or a call,
"+=" of something else onto a variable that holds SQL, or ".arg(…)" on it.

The one exception is a table or column name checked against the schema
before it is spliced (SQL cannot bind a name): the line that splices it ends
with the comment

    // sql: identificatore verificato

Usage: controlla-sql.py [--stamp FILE] DIR_OR_FILE...
Prints one line per finding (file:line: text) and exits 1 when there is any;
writes FILE (for the build's dependency tracking) when there is none.

       controlla-sql.py --esempi FILE
The check's own test: exits 0 when exactly the lines of FILE that hold the
word "atteso" are reported.
"""
import os
import re
import sys

COMMENTO = "// sql: identificatore verificato"
SQL = re.compile(
    r"\b(SELECT\b.*\bFROM|INSERT\s+INTO|DELETE\s+FROM|UPDATE\s+\S+.*\bSET\b|REPLACE\s+INTO|CREATE\s+(TABLE|VIEW|INDEX)"
    r"|DROP\s+(TABLE|VIEW|INDEX)|ALTER\s+TABLE|PRAGMA\s|VACUUM\b|ATTACH\b|\bWHERE\b|\bORDER\s+BY\b|\bGROUP\s+BY\b"
    r"|\bVALUES\s*\(|\bLIMIT\s+[\d?]"
    # A criterion on a bracketed column, "[Data e ora] >= ?", as the record sets take them.
    r"|\[[^\]]+\]\s*(=|<>|!=|<=|>=|<|>|LIKE\b|IN\b|IS\b|BETWEEN\b))",
    re.S)
# What turns a literal into a QString without changing it.
INVOLUCRI = {"QStringLiteral", "QLatin1String", "QLatin1StringView", "QString", "QStringView", "QByteArrayLiteral",
             "u8", "tr"}


def gettoni(testo):
    """(kind, text, line) for the tokens of C++ source: 'str', 'id', 'num', 'op', 'commento'."""
    i, riga, n = 0, 1, len(testo)
    while i < n:
        c = testo[i]
        if c == "\n":
            riga += 1
            i += 1
        elif c.isspace():
            i += 1
        elif testo.startswith("//", i):
            j = testo.find("\n", i)
            j = n if j < 0 else j
            yield ("commento", testo[i:j], riga)
            i = j
        elif testo.startswith("/*", i):
            j = testo.find("*/", i + 2)
            j = n if j < 0 else j + 2
            riga += testo.count("\n", i, j)
            i = j
        elif c == "#" and (i == 0 or testo[i - 1] == "\n"):
            # Preprocessor lines, continuations included.
            j = i
            while True:
                k = testo.find("\n", j)
                if k < 0:
                    k = n
                    break
                if testo[k - 1] != "\\":
                    break
                riga += 1
                j = k + 1
            i = k
        elif c == '"' or (c in "uULR" and re.match(r'(u8|u|U|L)?R?"', testo[i:i + 4])):
            m = re.match(r'(u8|u|U|L)?(R?)"', testo[i:])
            inizio = riga
            if m.group(2):
                d = re.match(r'R"([^(]*)\(', testo[i + len(m.group(1) or ""):])
                fine = ")" + d.group(1) + '"'
                a = i + len(m.group(0)) + len(d.group(1)) + 1
                j = testo.find(fine, a)
                contenuto = testo[a:j]
                j += len(fine)
            else:
                j = i + len(m.group(0))
                while j < n and testo[j] != '"':
                    j += 2 if testo[j] == "\\" else 1
                contenuto = testo[i + len(m.group(0)):j]
                j += 1
            riga += testo.count("\n", i, j)
            yield ("str", contenuto, inizio)
            i = j
        elif c == "'":
            j = i + 1
            while j < n and testo[j] != "'":
                j += 2 if testo[j] == "\\" else 1
            yield ("num", testo[i:j + 1], riga)
            i = j + 1
        elif c.isalpha() or c == "_":
            m = re.match(r"\w+", testo[i:])
            yield ("id", m.group(0), riga)
            i += len(m.group(0))
        elif c.isdigit():
            m = re.match(r"[\w.']+", testo[i:])
            yield ("num", m.group(0), riga)
            i += len(m.group(0))
        else:
            for op in ("+=", "::", "->", "<<", ">>", "==", "!=", "&&", "||"):
                if testo.startswith(op, i):
                    break
            else:
                op = c
            yield ("op", op, riga)
            i += len(op)


def atomi(gettoni_):
    """Folds literal wrappers (QStringLiteral("…"), u"…" "…") into one 'str' atom."""
    t = [g for g in gettoni_ if g[0] != "commento"]
    out, k = [], 0
    while k < len(t):
        g = t[k]
        if (g[0] == "id" and g[1] in INVOLUCRI and k + 3 < len(t) and t[k + 1][1] == "(" and t[k + 2][0] == "str"):
            j, testi = k + 2, []
            while j < len(t) and t[j][0] == "str":
                testi.append(t[j][1])
                j += 1
            if j < len(t) and t[j][1] == ")":
                out.append(("str", "".join(testi), g[2], t[j][2]))
                k = j + 1
                continue
        if g[0] == "str":
            j, testi = k, []
            while j < len(t) and t[j][0] == "str":
                testi.append(t[j][1])
                j += 1
            out.append(("str", "".join(testi), g[2], t[j - 1][2]))
            k = j
            continue
        out.append((g[0], g[1], g[2], g[2]))
        k += 1
    return out


def operando_fine(a, k):
    """Index just past the operand that starts at a[k] (an id chain with calls, or a parenthesised group)."""
    profondita = 0
    while k < len(a):
        tipo, testo = a[k][0], a[k][1]
        if testo in "([{":
            profondita += 1
        elif testo in ")]}":
            if profondita == 0:
                return k
            profondita -= 1
        elif profondita == 0 and tipo == "op" and testo not in ("::", "->", ".", "!", "~"):
            return k
        k += 1
    return k


def operando_inizio(a, k):
    """Index of the first atom of the operand that ends at a[k]."""
    profondita = 0
    while k >= 0:
        tipo, testo = a[k][0], a[k][1]
        if testo in ")]}":
            profondita += 1
        elif testo in "([{":
            if profondita == 0:
                return k + 1
            profondita -= 1
        elif profondita == 0 and tipo == "op" and testo not in ("::", "->", ".", "!", "~"):
            return k + 1
        k -= 1
    return 0


def solo_letterali(a, i, j):
    """Whether a[i:j] is one literal, possibly in parentheses."""
    interno = [x for x in a[i:j] if x[1] not in ("(", ")")]
    return len(interno) == 1 and interno[0][0] == "str"


def controlla(percorso):
    testo = open(percorso, encoding="utf-8", errors="replace").read()
    righe = testo.split("\n")
    a = atomi(gettoni(testo))
    trovati = []

    def segnala(riga, riga_operando, perche):
        for r in (riga, riga_operando):
            if righe[r - 1].rstrip().endswith(COMMENTO):
                return
        trovati.append(f"{percorso}:{riga_operando}: {perche}: {righe[riga_operando - 1].strip()}")

    variabili_sql = set()
    for k, x in enumerate(a):
        if x[0] != "str" or not SQL.search(x[1]):
            continue
        # A variable that holds SQL: "QString sql = QStringLiteral("SELECT …")".
        if k >= 2 and a[k - 1][1] == "=" and a[k - 2][0] == "id":
            variabili_sql.add(a[k - 2][1])
        # After the literal: "+ x", "% x", ".arg(x)".
        if k + 1 < len(a):
            dopo = a[k + 1]
            if dopo[1] in ("+", "%"):
                fine = operando_fine(a, k + 2)
                if not solo_letterali(a, k + 2, fine):
                    segnala(dopo[2], a[k + 2][2] if k + 2 < len(a) else dopo[2], "SQL text joined with a value")
            elif dopo[1] == "." and k + 2 < len(a) and a[k + 2][1] == "arg":
                segnala(dopo[2], a[k + 2][2], "SQL text filled with .arg()")
        # Before the literal: "x + ".
        if k >= 1 and a[k - 1][1] in ("+", "%"):
            inizio = operando_inizio(a, k - 2)
            if not solo_letterali(a, inizio, k - 1):
                segnala(a[k - 1][2], a[inizio][2] if inizio < k else a[k - 1][2], "SQL text joined with a value")
    # "sql += x" on a variable that holds SQL.
    for k, x in enumerate(a):
        if x[0] == "id" and x[1] in variabili_sql and k + 2 < len(a) and a[k + 1][1] == "+=":
            fine = operando_fine(a, k + 2)
            if not solo_letterali(a, k + 2, fine):
                segnala(a[k + 1][2], a[k + 2][2], "SQL text joined with a value")
    return trovati


def sorgenti(percorsi):
    for p in percorsi:
        if os.path.isfile(p):
            yield p
            continue
        for radice, _, file in os.walk(p):
            for f in sorted(file):
                if f.endswith((".cpp", ".h")):
                    yield os.path.join(radice, f)


def esempi(percorso):
    attese = {i + 1 for i, r in enumerate(open(percorso, encoding="utf-8").read().split("\n")) if "atteso" in r}
    trovate = {int(t.split(":")[1]) for t in controlla(percorso)}
    for r in sorted(attese - trovate):
        print(f"{percorso}:{r}: not reported")
    for r in sorted(trovate - attese):
        print(f"{percorso}:{r}: reported, but fine")
    return 0 if attese == trovate else 1


def main(argv):
    if len(argv) == 3 and argv[1] == "--esempi":
        return esempi(argv[2])
    stamp = None
    if len(argv) > 2 and argv[1] == "--stamp":
        stamp, argv = argv[2], argv[:1] + argv[3:]
    if len(argv) < 2:
        print(__doc__.strip().splitlines()[-2], file=sys.stderr)
        return 2
    trovati = list(dict.fromkeys(t for p in sorted(sorgenti(argv[1:])) for t in controlla(p)))
    for t in trovati:
        print(t)
    if trovati:
        print(f"controlla-sql: {len(trovati)} SQL text(s) built from a value; bind it with ? instead "
              f"(a checked identifier: end the line with \"{COMMENTO}\")", file=sys.stderr)
        return 1
    if stamp:
        with open(stamp, "w") as f:
            f.write("ok\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
