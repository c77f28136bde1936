#!/usr/bin/env python3
"""Checks of the generator's handling of accented letters, on a stand-in font.

    python3 tools/fontgen/accents_test.py
"""

import sys
import unittest

sys.dont_write_bytecode = True

import accents  # noqa: E402
import generate  # noqa: E402


def _cell(*rows):
    return [[1 if pixel == "#" else 0 for pixel in row] for row in rows]


_E = _cell("####.", "#....", "###..", "#....", "#....", "####.", ".....")
_I = _cell(".###.", "..#..", "..#..", "..#..", "..#..", ".###.", ".....")
_G = _cell(".##..", "#..#.", "#....", "#.##.", "#..#.", ".###.", ".....")
_U = _cell("#..#.", "#..#.", "#..#.", "#..#.", "#..#.", ".##..", ".....")


class _StandInFont:
    """A font that, like the 5x7 font, draws accented capitals as their bare letter."""

    BARE = {"E": _E, "I": _I, "G": _G, "U": _U}

    def cell_rows(self):
        return 7

    def has(self, code):
        return accents.decompose(chr(code)) is not None or chr(code) in self.BARE

    def glyph(self, code):
        accented = accents.decompose(chr(code))
        return self.BARE[accented[0] if accented else chr(code)]


class RendererTest(unittest.TestCase):
    def setUp(self):
        self.renderer = generate.Renderer(_StandInFont())

    def test_marks_the_font_lacks_are_drawn_over_a_shortened_letter(self):
        drawn = {}
        for character in "ÈÉÊẼĒĔĖËĚȨĘĞİŨŮŰ":
            with self.subTest(character=character):
                cell, note = self.renderer.cell(character)
                base_cell = self.renderer.cell(accents.decompose(character)[0])[0]
                self.assertEqual(note, "accent drawn")
                self.assertNotEqual(cell, base_cell)
                # The letter keeps its baseline: the bottom of its body stays in row 5.
                self.assertEqual(cell[5], base_cell[5])
                self.assertNotIn(cell, drawn.values(), f"same drawing as {drawn}")
                drawn[character] = cell

    def test_a_letter_without_a_rule_is_refused_by_name(self):
        for character, name in (
            ("Ḗ", "LATIN CAPITAL LETTER E WITH MACRON AND ACUTE"),
            ("Ḙ", "LATIN CAPITAL LETTER E WITH CIRCUMFLEX BELOW"),
            ("Ẹ", "LATIN CAPITAL LETTER E WITH DOT BELOW"),
        ):
            with self.subTest(character=character):
                with self.assertRaisesRegex(accents.AccentError, name):
                    self.renderer.cell(character)

    def test_a_mark_below_needs_a_free_descender_row(self):
        with self.assertRaisesRegex(accents.AccentError, "LATIN CAPITAL LETTER G WITH CEDILLA"):
            accents.drawn_form("Ģ", _cell(*(["#####"] * 7)))


class AccentedLettersTest(unittest.TestCase):
    """The check over the finished sets, whatever drew the glyphs."""

    def setUp(self):
        self.renderer = generate.Renderer(_StandInFont())
        self.e_columns = generate.columns(_E)

    def _set(self, *glyphs):
        entries = [generate.SetGlyph(byte, character, columns, "") for byte, character, columns in glyphs]
        return generate.GlyphSet("kUpperTest", "TT", False, entries)

    def test_drawn_forms_pass(self):
        sets = [self._set((0x80, "É", generate.columns(self.renderer.cell("É")[0])), (0x81, "A", (1, 2, 3, 4, 5)))]
        letters = generate.accented_letters(self.renderer, sets)
        self.assertEqual([(letter.glyph.character, letter.base) for letter in letters], [("É", "E")])
        self.assertEqual(letters[0].base_columns, self.e_columns)

    def test_faults_are_named(self):
        acute = generate.columns(self.renderer.cell("É")[0])
        for glyphs, message in (
            (
                ((0x90, "É", self.e_columns),),
                r"kUpperTest 0x90 U\+00C9 LATIN CAPITAL LETTER E WITH ACUTE is drawn exactly like its base letter"
                r" U\+0045",
            ),
            (
                ((0x90, "É", acute), (0xD4, "È", acute)),
                r"0xD4 U\+00C8 LATIN CAPITAL LETTER E WITH GRAVE is drawn exactly like U\+00C9",
            ),
        ):
            with self.subTest(message=message):
                with self.assertRaisesRegex(accents.AccentError, message):
                    generate.accented_letters(self.renderer, [self._set(*glyphs)])


if __name__ == "__main__":
    unittest.main()
