"""Accented letters: what they are built on, and a drawn form where the font has none.

The 5x7 font draws its capitals six rows high, the full height of its cell
above the baseline, so for many accented capitals it has no room for the mark
and repeats the plain letter: its É is its E. A display cannot afford that, so
such a letter is drawn here the way small dot-matrix fonts do it: the mark in
the top row or two, the letter shortened to fit beneath it, on the same
baseline. A mark below (cedilla, ogonek) goes into the descender row instead
and leaves the letter whole.

A letter counts as accented when its canonical Unicode decomposition is a base
letter followed by combining marks (É is E + U+0301, Ё is Е + U+0308).
"""

import unicodedata

import drawn_glyphs

# Rows of a cell above the baseline, and the descender row beneath them.
_BODY_ROWS = 6
_DESCENDER_ROW = 6
_COLUMNS = 5

# Diaeresis and macron take the width of the letter they sit on.
_SPAN = "span"


def _pattern(*rows):
    return tuple(tuple(1 if pixel == "#" else 0 for pixel in row) for row in rows)


# Marks drawn above the letter: a pattern centred on the letter's lit columns,
# or two dots / a bar from its leftmost to its rightmost lit column.
ABOVE = {
    0x0300: _pattern("#.", ".#"),  # grave
    0x0301: _pattern(".#", "#."),  # acute
    0x0302: _pattern(".#.", "#.#"),  # circumflex
    0x0303: _pattern(".#.#", "#.#."),  # tilde
    0x0304: (_SPAN, "bar"),  # macron
    0x0306: _pattern("#..#", ".##."),  # breve
    0x0307: _pattern("#"),  # dot above
    0x0308: (_SPAN, "dots"),  # diaeresis
    0x030A: _pattern("##", "##"),  # ring above
    0x030B: _pattern(".#..#", "#..#."),  # double acute
    0x030C: _pattern("#.#", ".#."),  # caron
}

# Marks drawn in the descender row: column offset from the letter's lit
# columns ("centre" or "right").
BELOW = {
    0x0327: "centre",  # cedilla
    0x0328: "right",  # ogonek
}


class AccentError(Exception):
    pass


def describe(character):
    return f"U+{ord(character):04X} {unicodedata.name(character, 'unnamed')}"


def decompose(character):
    """(base letter, combining marks) of an accented letter; None for any other character."""
    if character is None:
        return None
    parts = unicodedata.normalize("NFD", character)
    if len(parts) < 2 or not parts[0].isalpha():
        return None
    if not all(unicodedata.combining(mark) for mark in parts[1:]):
        return None
    return parts[0], tuple(ord(mark) for mark in parts[1:])


def _lit_columns(rows):
    lit = [column for column in range(_COLUMNS) if any(row[column] for row in rows)]
    return (lit[0], lit[-1]) if lit else (0, _COLUMNS - 2)


def _difference(row, other):
    return sum(left != right for left, right in zip(row, other))


def _run_length(rows, index):
    first = last = index
    while first > 0 and rows[first - 1] == rows[index]:
        first -= 1
    while last < len(rows) - 1 and rows[last + 1] == rows[index]:
        last += 1
    return last - first + 1, (first + last) / 2


def _removal_cost(rows, index):
    """Order in which rows go: a repeated row first (stems and bowls lose a
    row, crossbars and corners stay), from the longest run, the one nearest
    the middle; else the row closest to a neighbour with the fewest lit pixels."""
    nearest = min(_difference(rows[index], rows[index - 1]), _difference(rows[index], rows[index + 1]))
    if nearest == 0:
        length, centre = _run_length(rows, index)
        return (0, -length, abs(centre - (len(rows) - 1) / 2), -index)
    return (nearest, 0, sum(rows[index]), -index)


def shorten(code_point, rows, height):
    """The letter's rows squeezed to `height`, keeping its top and bottom rows."""
    drawn = drawn_glyphs.SHORT_CAPITALS.get((code_point, height))
    if drawn is not None:
        return [list(row) for row in drawn]
    rows = [list(row) for row in rows]
    while len(rows) > height:
        interior = range(1, len(rows) - 1)
        del rows[min(interior, key=lambda index: _removal_cost(rows, index))]
    return rows


def _place_above(mark, first, last):
    """Rows of the mark, placed over the lit columns first to last."""
    if mark[0] == _SPAN:
        row = [0] * _COLUMNS
        for column in range(first, last + 1):
            if mark[1] == "bar" or column in (first, last):
                row[column] = 1
        return [row]
    width = len(mark[0])
    left = int((first + last) / 2 - (width - 1) / 2 + 0.5)
    # The last column is the gap before the next character; only a mark as
    # wide as the cell may reach into it.
    left = max(0, min(max(_COLUMNS - 1, width) - width, left))
    return [[0] * left + list(row) + [0] * (_COLUMNS - width - left) for row in mark]


def _touches(mark_row, letter_row):
    return any(above and below for above, below in zip(mark_row, letter_row))


def _with_mark_above(base, mark_code, base_cell):
    body = base_cell[:_BODY_ROWS]
    first, last = _lit_columns(body)
    mark = _place_above(ABOVE[mark_code], first, last)
    height = _BODY_ROWS - len(mark)
    letter = shorten(ord(base), body, height)
    # A one-row mark right on top of the letter's top row would merge with it.
    if len(mark) == 1 and _touches(mark[0], letter[0]):
        mark.append([0] * _COLUMNS)
        letter = shorten(ord(base), body, height - 1)
    return mark + letter + [list(base_cell[_DESCENDER_ROW])]


def _with_mark_below(mark_code, cell):
    if any(cell[_DESCENDER_ROW]):
        return None
    first, last = _lit_columns(cell[:_BODY_ROWS])
    column = last if BELOW[mark_code] == "right" else (first + last) // 2
    cell[_DESCENDER_ROW][column] = 1
    return cell


def drawn_form(character, base_cell):
    """A 7 x 5 cell for an accented letter with one mark above and/or one below,
    built on its base letter's cell; AccentError when there is no rule for it."""
    base, marks = decompose(character)
    above = [mark for mark in marks if mark in ABOVE]
    below = [mark for mark in marks if mark in BELOW]
    if len(above) > 1 or len(below) > 1 or len(above) + len(below) != len(marks):
        names = ", ".join(describe(chr(mark)) for mark in marks)
        raise AccentError(f"{describe(character)} looks like its base letter and no drawn form fits its marks {names}")
    cell = [list(row) for row in base_cell]
    if above:
        cell = _with_mark_above(base, above[0], cell)
    if below:
        cell = _with_mark_below(below[0], cell)
        if cell is None:
            raise AccentError(
                f"{describe(character)} looks like its base letter, which fills the row its mark below needs"
            )
    return cell
