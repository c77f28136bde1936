#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace utility {

// The entries of the dialog's three setting lists, in list order. A list
// index is the code the display is sent; -1 means nothing is selected.

inline constexpr std::array<std::uint32_t, 5> kBaudRates = {9600, 19200, 38400, 57600, 115200};

inline constexpr std::array<std::string_view, 10> kCommandSets = {
    "LD220",  "EPSON POS D101", "UTC Standard", "UTC Enhance", "AEDEX",
    "ADM788", "DSP800",         "CD5220",       "EMAX",        "LOGIC CONTROL",
};

inline constexpr std::array<std::string_view, 18> kDefaultFonts = {
    "USA(CP-437)",
    "Katakana",
    "Multilingual(CP-850)",
    "Portuguese(CP-860)",
    "French Canada(CP-863)",
    "Nordic(CP-865)",
    "Slavonic",
    "Russian(CP-866)",
    "Euro(CP-858)",
    "Windows-1252",
    "Greek(Windows-1253)",
    "Windows-1257",
    "Hebrew(CP862)",
    "Greek(CP737)",
    "Persian",
    "Arabic(CP-864)",
    "Hebrew(ISO/IEC 8859-8)",
    "Russian(Windows-1251)",
};

inline constexpr int kNoSelection = -1;

// Index of an entry, or kNoSelection when the list has no such entry.
int BaudRateIndex(std::uint32_t bitsPerSecond);
int CommandSetIndex(std::string_view name);
int DefaultFontIndex(std::string_view name);

// Entry at an index; 0 / empty when the index is outside the list.
std::uint32_t BaudRateAt(int index);
std::string_view CommandSetAt(int index);
std::string_view DefaultFontAt(int index);

// The data byte each list's index becomes. The masks are the display's: a
// missing selection (-1) therefore goes out as 0xFF, 0x0F and 0x1F.
std::uint8_t BaudCode(int index);         // the index as a byte
std::uint8_t CommandSetCode(int index);   // index AND 0x0F
std::uint8_t DefaultFontCode(int index);  // index AND 0x1F

}  // namespace utility
