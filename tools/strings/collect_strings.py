#!/usr/bin/env python3
"""Collects the program's string table (resources/strings/ru.tsv) from the product description.

Usage:
    collect_strings.py DESCRIPTION.md [-o resources/strings/ru.tsv]

The description quotes every user-visible text next to its numeric string-table id, in several shapes:
    "Текст" (id 152)          "Текст" (152)           "Текст", id 152
    ("Текст", 804)            "Текст" (5106, result 1)
    "a", "b", "c" (ids 128 to 130)
    string id 1502, "%dx"     string id 9999 ("Default")
    string ids 703, 705, 704): "a" (...), "b" (...) and "c"
    "a"/"b" (5209/5208)       "О программе..." from id 2805
    a table whose names are "names from ids 519 to 525"
Texts are copied byte for byte from the quotes (some of them use Latin look-alike letters on purpose).
The few places where a number in brackets is not a text id, and the ids quoted with two different texts, are
settled by the curated tables below; any new clash stops the run instead of picking silently.

Output: one "id<TAB>text" line per id, sorted by id, UTF-8, no header. A TAB, newline or backslash inside a
text is written as \\t, \\n, \\\\.
"""

import argparse
import re
import sys
from collections import defaultdict

MIN_ID = 16
MAX_ID = 21015
MAX_TEXT_LENGTH = 255

QUOTED = r'"([^"\n]*)"'

# A text and its id next to each other: (pattern, group of the id, group of the text).
DIRECT_PATTERNS = [
    # "T" (id N) / "T" (N) / "T" (N, result 1) / "T" (string id N)
    (re.compile(QUOTED + r'\s*\((?:string )?(?:id )?(\d+)\s*[),;]'), 2, 1),
    # "T", id N / "T" id N
    (re.compile(QUOTED + r',?\s*\bid (\d+)\b'), 2, 1),
    # ("T", N) / (words, "T", N)
    (re.compile(QUOTED + r',\s*(\d+)\)'), 2, 1),
    # string id N, "T" / string id N ("T")
    (re.compile(r'\bstring id (\d+),?\s*\(?' + QUOTED), 1, 2),
    # "T" from id N
    (re.compile(QUOTED + r' from id (\d+)\b'), 2, 1),
]

# "T" with escaped quotes inside, e.g. "Экспертная система \"X\"" (143).
ESCAPED_QUOTED = re.compile(r'"((?:[^"\\\n]|\\")*\\"(?:[^"\\\n]|\\")*)"\s*\((?:id )?(\d+)\)')

# "a", "b" or "c" (ids A to B ...) / ("a", "b" or "c", ids A to B, ...)
LIST_RANGE = re.compile(r'((?:"[^"\n]*"(?:,\s*|\s+or\s+))*"[^"\n]*")[\s,]*\(?(?:hints )?ids (\d+) to (\d+)\b')

# string ids 703, 705, 704): "a" (...), "b" (...) and "c"
ID_LIST_THEN_TEXTS = re.compile(r'\bids ((?:\d+, )+\d+)\):')

# "a"/"b" (N/M)
SLASH_PAIR = re.compile(QUOTED + r'/' + QUOTED + r'\s*\((\d+)/(\d+)\)')

# A table whose name column takes its ids from a range announced just above it.
TABLE_RANGE = re.compile(r'names from ids (\d+) to (\d+)')

# Numbers in brackets after a quoted text that are command numbers, not text ids: the list they stand in
# starts with "(command 1139)".
NOT_TEXT_IDS = {
    (1140, "Скопировать отсчеты между курсорами в Буфер Обмена"),
    (1141, "Скопировать график в Буфер Обмена"),
}

# Ids quoted with more than one text. The value is the text kept; the other ones are reported and dropped.
# 91 is the shared "Отмена" button caption of every dialog; one button that closes a form with a cancel
# result is captioned differently there, which cannot change the shared text.
PREFERRED_TEXT = {
    91: "Отмена",
}

# Texts of this program's own, for messages the description has no text for. Their ids are free there.
OWN_TEXTS = {
    120: "Недопустимое имя директория !",
    121: "Файл %s не найден !",
}

# Ids the description names without giving their text, so the table leaves them out (LoadText gives ""):
# 2821-2825 the publisher's name and contact lines (installation text), 5207 a hint, 9655-9660 the hints of
# the waterfall selection's check-all/clear-all buttons, 9702-9706 five waterfall button hints.


def Unescape(text):
    return text.replace('\\"', '"')


def CollectCandidates(lines):
    """Returns {id: {text: [line numbers]}}."""
    found = defaultdict(lambda: defaultdict(list))

    def Add(lineNo, textId, text):
        if MIN_ID <= textId <= MAX_ID and text and (textId, text) not in NOT_TEXT_IDS:
            found[textId][text].append(lineNo)

    for lineNo, line in enumerate(lines, 1):
        for pattern, idGroup, textGroup in DIRECT_PATTERNS:
            for m in pattern.finditer(line):
                Add(lineNo, int(m.group(idGroup)), m.group(textGroup))

        for m in ESCAPED_QUOTED.finditer(line):
            Add(lineNo, int(m.group(2)), Unescape(m.group(1)))

        for m in LIST_RANGE.finditer(line):
            texts = re.findall(QUOTED, m.group(1))
            first, last = int(m.group(2)), int(m.group(3))
            if len(texts) == last - first + 1:
                for offset, text in enumerate(texts):
                    Add(lineNo, first + offset, text)

        for m in ID_LIST_THEN_TEXTS.finditer(line):
            ids = [int(x) for x in m.group(1).split(', ')]
            texts = re.findall(QUOTED, line[m.end():])[: len(ids)]
            if len(texts) == len(ids):
                for textId, text in zip(ids, texts):
                    Add(lineNo, textId, text)

        for m in SLASH_PAIR.finditer(line):
            Add(lineNo, int(m.group(3)), m.group(1))
            Add(lineNo, int(m.group(4)), m.group(2))

        m = TABLE_RANGE.search(line)
        if m:
            first, last = int(m.group(1)), int(m.group(2))
            rows = []
            # The table starts within a few lines of the announcement and ends at its first non-row line.
            for rowNo in range(lineNo, len(lines)):
                if not rows and rowNo > lineNo + 4:
                    break
                row = lines[rowNo]
                if row.startswith('|') and not set(row) <= set('|- '):
                    cells = [c.strip() for c in row.strip('|').split('|')]
                    name = re.fullmatch(QUOTED, cells[2]) if len(cells) > 2 else None
                    if name:
                        rows.append((rowNo + 1, name.group(1)))
                elif rows:
                    break
            for offset in range(last - first + 1):
                if offset < len(rows):
                    Add(rows[offset][0], first + offset, rows[offset][1])

    return found


def Resolve(found):
    table = {}
    conflicts = []
    for textId, texts in sorted(found.items()):
        if len(texts) == 1:
            table[textId] = next(iter(texts))
            continue
        conflicts.append((textId, dict(texts)))
        keep = PREFERRED_TEXT.get(textId)
        if keep not in texts:
            raise SystemExit(f"id {textId} is quoted with several texts and none is chosen: {dict(texts)}")
        table[textId] = keep
    return table, conflicts


def Escape(text):
    return text.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('description')
    parser.add_argument('-o', '--output', default='-')
    args = parser.parse_args()

    with open(args.description, encoding='utf-8') as f:
        lines = f.read().split('\n')

    table, conflicts = Resolve(CollectCandidates(lines))
    for textId, text in OWN_TEXTS.items():
        if textId in table:
            raise SystemExit(f"id {textId} is taken; choose another for \"{text}\"")
        table[textId] = text

    for textId, text in table.items():
        if len(text) > MAX_TEXT_LENGTH:
            raise SystemExit(f"id {textId}: text longer than {MAX_TEXT_LENGTH} characters")

    out = ''.join(f"{textId}\t{Escape(text)}\n" for textId, text in sorted(table.items()))
    if args.output == '-':
        sys.stdout.write(out)
    else:
        with open(args.output, 'w', encoding='utf-8', newline='\n') as f:
            f.write(out)

    for textId, texts in conflicts:
        shown = '; '.join(f'"{t}" (lines {", ".join(map(str, n))})' for t, n in texts.items())
        print(f"id {textId}: kept \"{table[textId]}\" of {shown}", file=sys.stderr)
    print(f"{len(table)} ids", file=sys.stderr)


if __name__ == '__main__':
    main()
