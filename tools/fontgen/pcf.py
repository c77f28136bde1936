"""Reader for X11 PCF bitmap fonts (plain or gzip-compressed).

Only what the glyph generator needs: the encoding table, the metrics and the
bitmaps, and the font's ascent and descent. A glyph comes back as a list of
rows from the top of the font's cell to its bottom, each row a list of 0/1
pixels starting at the cell's left edge.
"""

import gzip
import struct
import zlib

_PROPERTIES = 1 << 0
_ACCELERATORS = 1 << 1
_METRICS = 1 << 2
_BITMAPS = 1 << 3
_BDF_ENCODINGS = 1 << 5
_BDF_ACCELERATORS = 1 << 8

_GLYPH_PAD_MASK = 3
_BYTE_MASK = 1 << 2  # set: most significant byte first
_BIT_MASK = 1 << 3  # set: most significant bit first
_SCAN_UNIT_MASK = 3 << 4
_COMPRESSED_METRICS = 0x100

_NO_GLYPH = 0xFFFF


class PcfError(Exception):
    pass


class _Table:
    """A table's data with the byte order its format word asks for."""

    def __init__(self, data, offset):
        (self.format,) = struct.unpack_from("<I", data, offset)
        self.order = ">" if self.format & _BYTE_MASK else "<"
        self.data = data
        self.pos = offset + 4

    def read(self, code):
        values = struct.unpack_from(self.order + code, self.data, self.pos)
        self.pos += struct.calcsize(code)
        return values if len(values) > 1 else values[0]


class _Metric:
    __slots__ = ("left", "right", "width", "ascent", "descent")

    def __init__(self, left, right, width, ascent, descent):
        self.left, self.right, self.width = left, right, width
        self.ascent, self.descent = ascent, descent


class PcfFont:
    def __init__(self, path):
        with open(path, "rb") as handle:
            data = handle.read()
        if data[:2] == b"\x1f\x8b":
            try:
                data = gzip.decompress(data)
            except (OSError, EOFError, zlib.error) as error:
                raise PcfError(f"{path}: damaged gzip data: {error}") from error
        if data[:4] != b"\x01fcp":
            raise PcfError(f"{path}: not a PCF font")
        (count,) = struct.unpack_from("<I", data, 4)
        tables = {}
        for index in range(count):
            kind, _, _, offset = struct.unpack_from("<IIII", data, 8 + 16 * index)
            tables[kind] = offset
        for needed in (_METRICS, _BITMAPS, _BDF_ENCODINGS):
            if needed not in tables:
                raise PcfError(f"{path}: table {needed} missing")
        self._data = data
        self._read_metrics(tables[_METRICS])
        self._read_bitmaps(tables[_BITMAPS])
        self._read_encodings(tables[_BDF_ENCODINGS])
        accelerators = tables.get(_BDF_ACCELERATORS, tables.get(_ACCELERATORS))
        if accelerators is None:
            raise PcfError(f"{path}: no accelerator table for the font's ascent")
        self._read_accelerators(accelerators)

    def _read_metrics(self, offset):
        table = _Table(self._data, offset)
        self.metrics = []
        if table.format & _COMPRESSED_METRICS:
            count = table.read("H")
            for _ in range(count):
                raw = table.read("5B")
                self.metrics.append(_Metric(*(value - 0x80 for value in raw)))
        else:
            count = table.read("I")
            for _ in range(count):
                left, right, width, ascent, descent, _ = table.read("6h")
                self.metrics.append(_Metric(left, right, width, ascent, descent))

    def _read_bitmaps(self, offset):
        table = _Table(self._data, offset)
        count = table.read("I")
        self._offsets = [table.read("I") for _ in range(count)]
        sizes = [table.read("I") for _ in range(4)]
        self._pad = 1 << (table.format & _GLYPH_PAD_MASK)
        self._scan_unit = 1 << ((table.format & _SCAN_UNIT_MASK) >> 4)
        self._msb_byte = bool(table.format & _BYTE_MASK)
        self._msb_bit = bool(table.format & _BIT_MASK)
        start = table.pos
        self._bitmaps = self._data[start : start + sizes[table.format & _GLYPH_PAD_MASK]]

    def _read_encodings(self, offset):
        table = _Table(self._data, offset)
        first_col, last_col, first_row, last_row, _ = table.read("5h")
        self._glyph_of = {}
        for row in range(first_row, last_row + 1):
            for col in range(first_col, last_col + 1):
                index = table.read("H")
                if index != _NO_GLYPH:
                    self._glyph_of[(row << 8) | col] = index

    def _read_accelerators(self, offset):
        table = _Table(self._data, offset)
        table.read("8B")  # flags and padding
        self.ascent, self.descent = table.read("ii")

    def has(self, code_point):
        return code_point in self._glyph_of

    def cell_rows(self):
        return self.ascent + self.descent

    def glyph(self, code_point):
        """The character's pixels placed in the font's cell (ascent + descent rows)."""
        index = self._glyph_of.get(code_point)
        if index is None:
            return None
        metric = self.metrics[index]
        width = metric.right - metric.left
        height = metric.ascent + metric.descent
        stride = ((width + 7) // 8 + self._pad - 1) // self._pad * self._pad
        base = self._offsets[index]
        cell_width = max(metric.width, metric.right)
        cell = [[0] * cell_width for _ in range(self.cell_rows())]
        for y in range(height):
            row = bytearray(self._bitmaps[base + y * stride : base + (y + 1) * stride])
            row = self._normalise(row)
            cell_y = self.ascent - metric.ascent + y
            for x in range(width):
                if row[x // 8] & (0x80 >> (x % 8)):
                    cell_x = metric.left + x
                    if 0 <= cell_y < len(cell) and 0 <= cell_x < cell_width:
                        cell[cell_y][cell_x] = 1
        return cell

    def _normalise(self, row):
        """Turns one stored row into most-significant-bit-first bytes."""
        if self._msb_byte != self._msb_bit and self._scan_unit > 1:
            unit = self._scan_unit
            for start in range(0, len(row), unit):
                row[start : start + unit] = row[start : start + unit][::-1]
        if not self._msb_bit:
            row = bytearray(int(f"{value:08b}"[::-1], 2) for value in row)
        return row
