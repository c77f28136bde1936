#!/usr/bin/env python3
"""Generates the service object's code-page tables, service_object/core/code_page_data.inc.

    python3 tools/codepages/generate.py            rewrite the committed file
    python3 tools/codepages/generate.py --check    exit 1 if it differs from a fresh run
    python3 tools/codepages/generate.py --show 866 print one table as text

The tables come from Python's own codecs, so the conversion is the same
natively and under Wine (no table of the host system is consulted).

Each table lists, sorted by code unit, every UTF-16 code unit that the code
page shows as one character, with the byte the codec encodes it to. Left out:
  - control characters (Unicode category Cc: U+0000 to U+001F, U+007F and the
    C1 range U+0080 to U+009F that ISO 8859-8 carries at 0x80 to 0x9F): the
    display would take them as commands, never as characters;
  - every mapping to a byte below 0x20 or to 0x7F, for the same reason;
  - surrogates, which are halves of characters, not characters.
A code unit missing from a table is unmappable in that code page.

A code page that holds Arabic letters only as presentation forms (864) would
turn text in plain Arabic letters, which applications send, into question
marks. So a letter that a code page lacks is given the byte of one of its
presentation forms there, the isolated form first, then the final, initial
and medial ones: the text shows unjoined, but legible.

Python's cp864 decodes byte 0x25 to the Arabic percent sign (U+066A) and
has no byte for the plain '%'; the display's font shows a percent sign there,
and applications send '%' ("50% OFF"), so 864 also maps U+0025 to 0x25
(ADDED below). Every code page of the list must map every printable ASCII
character (0x20 to 0x7E) to some byte: the generator refuses to write, and
--check fails, when one does not.

The code pages are the default fonts the display offers (the configuration
utility's list), by their Windows code page numbers. "Slavonic" is taken as
code page 852, as the language glyph sets of the kit take it.
"""

import argparse
import os
import sys
import unicodedata


REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DEFAULT_OUTPUT = os.path.join(REPO, "service_object", "core", "code_page_data.inc")

# (number, Python codec, the display's default-font list entry)
CODE_PAGES = (
    (437, "cp437", "USA(CP-437)"),
    (737, "cp737", "Greek(CP737)"),
    (850, "cp850", "Multilingual(CP-850)"),
    (852, "cp852", "Slavonic"),
    (858, "cp858", "Euro(CP-858)"),
    (860, "cp860", "Portuguese(CP-860)"),
    (862, "cp862", "Hebrew(CP862)"),
    (863, "cp863", "French Canada(CP-863)"),
    (864, "cp864", "Arabic(CP-864)"),
    (865, "cp865", "Nordic(CP-865)"),
    (866, "cp866", "Russian(CP-866)"),
    (1251, "cp1251", "Russian(Windows-1251)"),
    (1252, "cp1252", "Windows-1252"),
    (1253, "cp1253", "Greek(Windows-1253)"),
    (1257, "cp1257", "Windows-1257"),
    (28598, "iso8859_8", "Hebrew(ISO/IEC 8859-8)"),
)

# Mappings the codec lacks and the display's font has: {code page: {code unit: byte}}.
ADDED = {
    864: {0x0025: 0x25},  # '%': the codec keeps 0x25 for the Arabic percent sign only
}

PRINTABLE_ASCII = range(0x20, 0x7F)

PER_LINE = 6


def is_surrogate(unit):
    return 0xD800 <= unit <= 0xDFFF


# Presentation forms tried for a letter the code page lacks, in this order.
FORM_PREFERENCE = ("<isolated>", "<final>", "<initial>", "<medial>")


def presentation_forms(direct):
    """{letter: byte} for letters absent from `direct` whose presentation form is in it."""
    candidates = {}
    for unit, byte in direct.items():
        tag, *rest = unicodedata.decomposition(chr(unit)).split() or [""]
        if tag in FORM_PREFERENCE and len(rest) == 1:
            letter = int(rest[0], 16)
            if letter not in direct:
                candidates.setdefault(letter, []).append((FORM_PREFERENCE.index(tag), unit, byte))
    return {letter: min(forms)[2] for letter, forms in candidates.items()}


def mappings(number, codec):
    """Sorted (code unit, byte) pairs of the characters code page `number` shows as one byte."""
    direct = dict(direct_mappings(codec))
    direct.update(presentation_forms(direct))
    direct.update(ADDED.get(number, {}))
    return sorted(direct.items())


def missing_ascii(pairs):
    """The printable ASCII characters that `pairs` gives no byte."""
    mapped = {unit for unit, _ in pairs}
    return [chr(unit) for unit in PRINTABLE_ASCII if unit not in mapped]


def tables():
    """{number: pairs} for every code page; raises ValueError when one lacks printable ASCII."""
    result = {}
    problems = []
    for number, codec, _ in CODE_PAGES:
        pairs = mappings(number, codec)
        missing = missing_ascii(pairs)
        if missing:
            problems.append(f"code page {number} ({codec}) has no byte for {''.join(missing)!r}")
        result[number] = pairs
    if problems:
        raise ValueError("; ".join(problems))
    return result


def direct_mappings(codec):
    """(code unit, byte) pairs of the characters `codec` itself encodes to one byte."""
    pairs = []
    for unit in range(0x10000):
        if is_surrogate(unit):
            continue
        character = chr(unit)
        if unicodedata.category(character) == "Cc":
            continue
        try:
            encoded = character.encode(codec)
        except UnicodeEncodeError:
            continue
        if len(encoded) != 1 or encoded[0] < 0x20 or encoded[0] == 0x7F:
            continue
        pairs.append((unit, encoded[0]))
    return pairs


def generate():
    lines = [
        "// Generated by tools/codepages/generate.py from Python's codecs; do not edit by hand.",
        "// Regenerate with: python3 tools/codepages/generate.py",
        "// Included by code_page.cpp. Each table: {UTF-16 code unit, byte}, sorted by code unit;",
        "// control characters and bytes below 0x20 or 0x7F are never in a table.",
        "// clang-format off",
        "",
    ]
    pages = tables()
    for number, codec, entry in CODE_PAGES:
        pairs = pages[number]
        lines.append(f'// {number}: "{entry}" ({codec}), {len(pairs)} characters')
        lines.append(f"inline constexpr std::array<CodePageMapping, {len(pairs)}> kCodePage{number} = {{{{")
        for start in range(0, len(pairs), PER_LINE):
            chunk = pairs[start : start + PER_LINE]
            lines.append("    " + " ".join(f"{{0x{unit:04X}, 0x{byte:02X}}}," for unit, byte in chunk))
        lines.append("}};")
        lines.append("")
    lines.append("inline constexpr std::array<CodePage, %d> kCodePages = {{" % len(CODE_PAGES))
    for number, _, _ in CODE_PAGES:
        lines.append(f"    {{{number}, kCodePage{number}}},")
    lines.append("}};")
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n"


def show(number):
    for page, codec, entry in CODE_PAGES:
        if page == number:
            print(f'{page} "{entry}" ({codec})')
            for unit, byte in mappings(page, codec):
                name = unicodedata.name(chr(unit), "unnamed")
                print(f"  U+{unit:04X} -> 0x{byte:02X}  {name}")
            return 0
    known = ", ".join(str(page) for page, _, _ in CODE_PAGES)
    print(f"unknown code page {number}; known: {known}", file=sys.stderr)
    return 2


def write_or_check(path, text, check):
    """Exit status: 0 written or up to date, 1 out of date or not readable/writable."""
    if check:
        try:
            with open(path, encoding="utf-8") as handle:
                committed = handle.read()
        except OSError as error:
            print(f"cannot read {path}: {error}", file=sys.stderr)
            return 1
        if committed != text:
            print(f"{path} is out of date; run tools/codepages/generate.py", file=sys.stderr)
            return 1
        return 0
    # Written beside the target and renamed, so a failed write leaves the old file whole.
    temporary = path + ".tmp"
    try:
        with open(temporary, "w", encoding="utf-8") as handle:
            handle.write(text)
        os.replace(temporary, path)
    except OSError as error:
        print(f"cannot write {path}: {error}", file=sys.stderr)
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=DEFAULT_OUTPUT, help="file to write (default: %(default)s)")
    parser.add_argument("--check", action="store_true", help="compare with --output instead of writing it")
    parser.add_argument("--show", type=int, metavar="NUMBER", help="print one code page's table")
    args = parser.parse_args()

    if args.show is not None:
        return show(args.show)
    try:
        text = generate()
    except ValueError as error:
        print(f"not written: {error}", file=sys.stderr)
        return 1
    return write_or_check(args.output, text, args.check)


if __name__ == "__main__":
    sys.exit(main())
