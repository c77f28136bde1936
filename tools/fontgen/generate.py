#!/usr/bin/env python3
"""Generates the utility's language glyph sets, utility/core/language_font_data.inc.

    python3 tools/fontgen/generate.py              rewrite the committed files
    python3 tools/fontgen/generate.py --check      exit 1 if they differ from a fresh run
    python3 tools/fontgen/generate.py --preview RU show a set as ASCII art

The glyphs come from the public-domain 5x7 misc-fixed font of the X11 core
fonts (Debian package xfonts-base, /usr/share/fonts/X11/misc/5x7.pcf.gz), with
hand drawings (drawn_glyphs.py) for the half-width katakana and the Arabic
script, which that font lacks.

An accented letter never shows as its bare base letter. Where the font has
no room for the accent (its É is its E), accents.py draws the mark above a
shortened letter; the generator stops with the name of any accented letter
that would still look like its base letter, or like another letter on the
same base in its set. The accented letters and their base letters' glyphs
also go to utility/core/language_font_accents.inc, a table for the tests
that the program does not include.

Glyph format: 5 bytes per glyph, one per column from left to right; bit 7 is
the top row. The font's cell is 7 rows (6 above the baseline, 1 below) and
5 columns, so its rows land on bits 7 to 1; bit 0, the display's eighth row,
stays clear, as in the US set. The font leaves its rightmost column blank as
the gap between characters; its glyphs keep that gap.

Which character each byte shows:

International sets (bytes 0x23 0x24 0x40 0x5B 0x5C 0x5D 0x5E 0x60 0x7B 0x7C
0x7D 0x7E), the national variants of ISO 646 as commonly built into
receipt printers and customer displays:

    US  # $ @ [ \\ ] ^ ` { | } ~   (bytes fixed by the display, not drawn from the font)
    DE  # $ § Ä Ö Ü ^ ` ä ö ü ß
    IT  # $ @ ° \\ é ^ ù à ò è ì
    JP  # $ @ [ ¥ ] ^ ` { | } ~
    UK  £ $ @ [ \\ ] ^ ` { | } ~
    FR  # $ à ° ç § ^ ` é ù è ¨
    ES  ₧ $ @ ¡ Ñ ¿ ^ ` ¨ ñ } ~
    NO  # ¤ É Æ Ø Å Ü é æ ø å ü
    SE  # ¤ É Ä Ö Å Ü é ä ö å ü
    D1  # $ @ Æ Ø Å ^ ` æ ø å ~
    D2  # $ É Æ Ø Å Ü é æ ø å ü

A position that keeps its ASCII character takes the US glyph, so the common
characters look the same in every language.

Upper sets (bytes 0x80 to 0xFF), by Python codec:

    US        cp437     DOS United States
    European  cp858     DOS Multilingual Latin-1 with the euro sign at 0xD5
                        (rows DE, IT, UK, FR, ES, NO, SE, D1, D2)
    JP        JIS X 0201: half-width katakana at 0xA1 to 0xDF (drawn by hand);
                        0x80 to 0xA0 and 0xE0 to 0xFF carry no character
    SL        cp852     DOS Latin-2 (Central European)
    RU        cp866     DOS Cyrillic Russian
    HE        cp862     DOS Hebrew
    G7        cp737     DOS Greek
    PT        cp860     DOS Portuguese
    G1        cp1253    Windows Greek
    TK        cp857     DOS Turkish
    FS        iso8859_6 Arabic, with the Persian additions at bytes the
                        standard leaves free: the extended (Persian) digits
                        0-9 at 0xB0 to 0xB9, peh tcheh jeh gaf at 0xDB to
                        0xDE, keheh at 0xF3 and farsi yeh at 0xF4
    AR        cp864     DOS Arabic (presentation forms)
    H8        iso8859_8 ISO Hebrew
    RW        cp1251    Windows Cyrillic

A byte the code page leaves undefined, a control character (the C1 range of
the ISO pages) and an invisible format character (the directional marks of
ISO 8859-8) are blank. A visible character that neither the font nor the
drawings carry would be shown as the outline of the whole cell; the
generator reports each such character, and the present sets have none.
"""

import argparse
import collections
import os
import struct
import sys
import unicodedata

# Keeps the source folder free of compiled-module caches.
sys.dont_write_bytecode = True

import accents  # noqa: E402
import drawn_glyphs  # noqa: E402
import pcf  # noqa: E402

DEFAULT_FONT = "/usr/share/fonts/X11/misc/5x7.pcf.gz"
REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DEFAULT_OUTPUT = os.path.join(REPO, "utility", "core", "language_font_data.inc")
DEFAULT_ACCENTS_OUTPUT = os.path.join(REPO, "utility", "core", "language_font_accents.inc")

# ctest's convention for a test that could not run.
EXIT_SKIPPED = 77

INTERNATIONAL_BYTES = (0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E)

# The display's own US glyphs for the twelve positions, in the order above.
US_INTERNATIONAL = (
    (0x28, 0xFE, 0x28, 0xFE, 0x28),
    (0x24, 0x54, 0xFE, 0x54, 0x48),
    (0x7C, 0x92, 0xAA, 0xBA, 0x7A),
    (0x00, 0x00, 0xFE, 0x82, 0x82),
    (0x40, 0x20, 0x10, 0x08, 0x04),
    (0x82, 0x82, 0xFE, 0x00, 0x00),
    (0x20, 0x40, 0x80, 0x40, 0x20),
    (0x00, 0x80, 0x40, 0x00, 0x00),
    (0x00, 0x10, 0x6C, 0x82, 0x00),
    (0x00, 0x00, 0xEE, 0x00, 0x00),
    (0x00, 0x82, 0x6C, 0x10, 0x00),
    (0x40, 0x80, 0xC0, 0x40, 0x80),
)

# The twelve characters of each national set, in the order of INTERNATIONAL_BYTES.
INTERNATIONAL_SETS = {
    "US": "#$@[\\]^`{|}~",
    "DE": "#$§ÄÖÜ^`äöüß",
    "IT": "#$@°\\é^ùàòèì",
    "JP": "#$@[¥]^`{|}~",
    "UK": "£$@[\\]^`{|}~",
    "FR": "#$à°ç§^`éùè¨",
    "ES": "₧$@¡Ñ¿^`¨ñ}~",
    "NO": "#¤ÉÆØÅÜéæøåü",
    "SE": "#¤ÉÄÖÅÜéäöåü",
    "D1": "#$@ÆØÅ^`æøå~",
    "D2": "#$ÉÆØÅÜéæøåü",
}


def _jis_x0201(byte):
    return chr(0xFF61 + byte - 0xA1) if 0xA1 <= byte <= 0xDF else None


_PERSIAN_ADDITIONS = {
    **{0xB0 + digit: chr(0x06F0 + digit) for digit in range(10)},
    0xDB: "\u067e",  # peh
    0xDC: "\u0686",  # tcheh
    0xDD: "\u0698",  # jeh
    0xDE: "\u06af",  # gaf
    0xF3: "\u06a9",  # keheh
    0xF4: "\u06cc",  # farsi yeh
}


def _codec(name, additions=None):
    def character(byte):
        if additions and byte in additions:
            return additions[byte]
        try:
            return bytes([byte]).decode(name)
        except UnicodeDecodeError:
            return None

    return character


# Name of the set in the generated source, and the character of each byte.
UPPER_SETS = {
    "US": _codec("cp437"),
    "European": _codec("cp858"),
    "JP": _jis_x0201,
    "SL": _codec("cp852"),
    "RU": _codec("cp866"),
    "HE": _codec("cp862"),
    "G7": _codec("cp737"),
    "PT": _codec("cp860"),
    "G1": _codec("cp1253"),
    "TK": _codec("cp857"),
    "FS": _codec("iso8859_6", _PERSIAN_ADDITIONS),
    "AR": _codec("cp864"),
    "H8": _codec("iso8859_8"),
    "RW": _codec("cp1251"),
}

_BLANK = tuple((0,) * 5 for _ in range(7))


class Renderer:
    def __init__(self, font):
        if font.cell_rows() != 7:
            raise pcf.PcfError(f"expected a 7-row font, found {font.cell_rows()} rows")
        self.font = font
        self.missing = []

    def cell(self, character):
        """The 7 x 5 pixels of a character and a note on where they came from.

        An accented letter the font draws exactly like its base letter gets
        a drawn form instead (accents.py); AccentError if there is none."""
        cell, note = self._source_cell(character)
        accented = accents.decompose(character)
        if accented and cell == self._source_cell(accented[0])[0]:
            return _frozen(accents.drawn_form(character, cell)), "accent drawn"
        return cell, note

    def _source_cell(self, character):
        if character is None:
            return _BLANK, "no character"
        code = ord(character)
        if code in drawn_glyphs.DRAWN:
            return drawn_glyphs.DRAWN[code], "drawn"
        if self.font.has(code):
            return _frozen(row[:5] + [0] * (5 - len(row[:5])) for row in self.font.glyph(code)), None
        if unicodedata.category(character) in ("Cc", "Cf"):
            return _BLANK, "not shown"
        decomposed = unicodedata.normalize("NFKC", character)
        if len(decomposed) == 1 and ord(decomposed) in drawn_glyphs.DRAWN:
            return drawn_glyphs.DRAWN[ord(decomposed)], f"drawn as U+{ord(decomposed):04X}"
        self.missing.append(code)
        return drawn_glyphs.MISSING, "missing: cell outline"


def _frozen(rows):
    return tuple(tuple(row) for row in rows)


def columns(cell):
    """Column bytes of a 7-row cell: bit 7 the top row, bit 0 (eighth row) clear."""
    return tuple(sum(cell[row][column] << (7 - row) for row in range(7)) for column in range(5))


def describe(byte, character, note):
    if character is None:
        text = f"0x{byte:02X}"
    else:
        name = unicodedata.name(character, "") or "unnamed"
        text = f"0x{byte:02X} U+{ord(character):04X} {name}"
    return f"{text} ({note})" if note else text


# One position of a set: its byte, the character it shows (None for none),
# the five column bytes and the comment of its line.
SetGlyph = collections.namedtuple("SetGlyph", "byte character columns comment")


def international_set(renderer, code):
    glyphs = []
    for position, (byte, character) in enumerate(zip(INTERNATIONAL_BYTES, INTERNATIONAL_SETS[code])):
        if character == chr(byte):
            glyphs.append(SetGlyph(byte, character, US_INTERNATIONAL[position], describe(byte, character, None)))
        else:
            cell, note = renderer.cell(character)
            glyphs.append(SetGlyph(byte, character, columns(cell), describe(byte, character, note)))
    return glyphs


def upper_set(renderer, name):
    glyphs = []
    for byte in range(0x80, 0x100):
        character = UPPER_SETS[name](byte)
        cell, note = renderer.cell(character)
        glyphs.append(SetGlyph(byte, character, columns(cell), describe(byte, character, note)))
    return glyphs


# A generated set: the array's name, the language code of a row that shows it
# (the European upper set through DE, the first of its rows), whether it is an
# international set, and its glyphs.
GlyphSet = collections.namedtuple("GlyphSet", "array row international glyphs")


def all_sets(renderer):
    sets = [
        GlyphSet(f"kInternational{code}", code, True, international_set(renderer, code)) for code in INTERNATIONAL_SETS
    ]
    for name in UPPER_SETS:
        row = "DE" if name == "European" else name
        sets.append(GlyphSet(f"kUpper{name}", row, False, upper_set(renderer, name)))
    return sets


# An accented letter of a set and the glyph of the letter it is built on.
AccentedLetter = collections.namedtuple("AccentedLetter", "glyph_set glyph base base_columns")


def accented_letters(renderer, sets):
    """Every accented letter of the sets; AccentError naming each one that shows
    no more than its base letter, or the same as another letter on that base."""
    letters, faults = [], []
    for glyph_set in sets:
        seen = {}
        for glyph in glyph_set.glyphs:
            accented = accents.decompose(glyph.character)
            if not accented:
                continue
            base = accented[0]
            base_columns = columns(renderer.cell(base)[0])
            where = f"{glyph_set.array} 0x{glyph.byte:02X} {accents.describe(glyph.character)}"
            twin = seen.setdefault((base, glyph.columns), glyph.character)
            if glyph.columns == base_columns:
                faults.append(f"{where} is drawn exactly like its base letter {accents.describe(base)}")
            elif twin != glyph.character:
                faults.append(f"{where} is drawn exactly like {accents.describe(twin)}")
            letters.append(AccentedLetter(glyph_set, glyph, base, base_columns))
    if faults:
        raise accents.AccentError("\n".join(faults))
    return letters


def emit_array(lines, name, glyphs):
    lines.append(f"inline constexpr std::array<std::uint8_t, {5 * len(glyphs)}> {name} = {{")
    for glyph in glyphs:
        values = ", ".join(f"0x{value:02X}" for value in glyph.columns)
        lines.append(f"    {values},  // {glyph.comment}")
    lines.append("};")
    lines.append("")


def emit_accented(letters):
    lines = [
        "// Generated by tools/fontgen/generate.py; do not edit by hand.",
        "// The accented letters of the glyph sets, for the tests: a language row that",
        "// shows the set, whether the letter is one of the twelve international",
        "// glyphs, its byte, its code point, the code point of its base letter and that",
        "// letter's glyph. The includer defines AccentedLetter.",
        "// clang-format off",
        f"inline constexpr std::array<AccentedLetter, {len(letters)}> kAccentedLetters = {{{{",
    ]
    for letter in letters:
        international = "true" if letter.glyph_set.international else "false"
        base = ", ".join(f"0x{value:02X}" for value in letter.base_columns)
        lines.append(
            f'    {{"{letter.glyph_set.row}", {international}, 0x{letter.glyph.byte:02X}, '
            f"0x{ord(letter.glyph.character):04X}, 0x{ord(letter.base):04X}, {{{base}}}}},"
            f"  // {unicodedata.name(letter.glyph.character)}"
        )
    lines += ["}};", "// clang-format on"]
    return "\n".join(lines) + "\n"


def generate(font_path):
    """The text of the glyph sets' file and of the accented letters' file, and
    the characters shown as missing."""
    renderer = Renderer(pcf.PcfFont(font_path))
    sets = all_sets(renderer)
    letters = accented_letters(renderer, sets)
    lines = [
        "// Generated by tools/fontgen/generate.py from the 5x7 misc-fixed X11 font",
        "// (xfonts-base) and the generator's own drawings; do not edit by hand.",
        "// Regenerate with: python3 tools/fontgen/generate.py",
        "// Included by language_font_table.cpp. Each line is one glyph: five column",
        "// bytes, left to right, bit 7 the top row.",
        "// clang-format off",
        "",
    ]
    for glyph_set in sets:
        emit_array(lines, glyph_set.array, glyph_set.glyphs)
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n", emit_accented(letters), renderer.missing


def preview(font_path, name):
    renderer = Renderer(pcf.PcfFont(font_path))
    if name in UPPER_SETS:
        glyphs = upper_set(renderer, name)
    elif name in INTERNATIONAL_SETS:
        glyphs = international_set(renderer, name)
    else:
        known = ", ".join(sorted(set(UPPER_SETS) | set(INTERNATIONAL_SETS)))
        raise SystemExit(f"unknown set {name!r}; known sets: {known}")
    per_line = 16
    for start in range(0, len(glyphs), per_line):
        chunk = glyphs[start : start + per_line]
        print("  ".join(f"0x{glyph.byte:02X}".ljust(5) for glyph in chunk))
        for row in range(8):
            bit = 0x80 >> row
            print("  ".join("".join("#" if column & bit else "." for column in glyph.columns) for glyph in chunk))
        print()


def _differs(path, text):
    """Whether the file at path holds something other than text; None if it cannot be read."""
    try:
        with open(path, encoding="utf-8") as handle:
            return handle.read() != text
    except OSError as error:
        print(f"cannot read {path}: {error}", file=sys.stderr)
        return None


def _write(path, text):
    # Written beside the target and renamed, so a failed write leaves the old file whole.
    temporary = path + ".tmp"
    try:
        with open(temporary, "w", encoding="utf-8") as handle:
            handle.write(text)
        os.replace(temporary, path)
    except OSError as error:
        print(f"cannot write {path}: {error}", file=sys.stderr)
        return False
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--font", default=DEFAULT_FONT, help="5x7 PCF font (default: %(default)s)")
    parser.add_argument("--output", default=DEFAULT_OUTPUT, help="file to write (default: %(default)s)")
    parser.add_argument(
        "--accents-output",
        default=DEFAULT_ACCENTS_OUTPUT,
        help="test table of the accented letters (default: %(default)s)",
    )
    parser.add_argument("--check", action="store_true", help="compare with the outputs instead of writing them")
    parser.add_argument("--preview", metavar="SET", help="print one set (US, European, DE, RU, ...) as ASCII art")
    args = parser.parse_args()

    if not os.path.exists(args.font):
        print(f"font not found: {args.font} (install xfonts-base)", file=sys.stderr)
        return EXIT_SKIPPED if args.check else 2
    try:
        if args.preview:
            preview(args.font, args.preview)
            return 0
        text, accented_text, missing = generate(args.font)
    except (pcf.PcfError, struct.error, IndexError, OSError) as error:
        print(f"cannot read the font {args.font}: {error}", file=sys.stderr)
        return 2
    except accents.AccentError as error:
        print(f"no distinct glyph for an accented letter:\n{error}", file=sys.stderr)
        return 1
    for code in missing:
        print(f"warning: U+{code:04X} is neither in the font nor drawn", file=sys.stderr)
    outputs = ((args.output, text), (args.accents_output, accented_text))
    if args.check:
        stale = [_differs(path, content) for path, content in outputs]
        for (path, _), differs in zip(outputs, stale):
            if differs:
                print(f"{path} is out of date; run tools/fontgen/generate.py", file=sys.stderr)
        return 0 if stale == [False, False] else 1
    return 0 if all(_write(path, content) for path, content in outputs) else 1


if __name__ == "__main__":
    sys.exit(main())
