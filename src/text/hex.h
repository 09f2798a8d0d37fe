// Hexadecimal and little-endian helpers shared by every stage. All hexadecimal output
// is uppercase. The parsing helpers keep the exact rules the stages depend on, odd
// cases included: each one documents what it does with characters that are not digits.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessor {

using ByteSpan = std::span<const std::uint8_t>;
using Bytes = std::vector<std::uint8_t>;

// The signed 32-bit little-endian value of the first four bytes; missing bytes count as
// zero, so a two-byte array gives its 16-bit value.
std::int32_t ReadInt32LE(ByteSpan bytes);

// Blanks (ASCII space and the full-width space A1 A1) removed, then every pair of bytes
// becomes one byte: (p1 - 1) * 16 + (p2 - 1) over their 1-based positions in
// "0123456789ABCDEF", -1 for a byte not there (lower case included). An odd last byte
// is ignored.
Bytes HexTextToBytes(std::string_view text);

// HexTextToInteger of the text as 1 byte (2 characters), 2 bytes (4), 4 bytes (8) or
// 8 bytes (any other length), little-endian.
Bytes HexTextToNumberBytes(std::string_view text);

// The text upper-cased and read as hexadecimal; the first byte that is not a digit
// makes the whole result 0. The empty text gives 0.
std::int64_t HexTextToInteger(std::string_view text);

// Each byte as two digits, the pairs separated by one blank: "50 45".
std::string BytesToHexText(ByteSpan bytes);

// The two digits of one byte: "0A".
std::string ByteToHex(std::uint8_t byte);

// "{" + the decimal value of each byte separated by "," + "}"; "{ }" when empty.
std::string BytesToBraceText(ByteSpan bytes);

// Exactly `digits` uppercase digits with leading zeros (the low 4 * digits bits), as
// "%.8X", "%.4X" and "%.2X" write them.
std::string HexDigits(std::uint64_t value, int digits);

// An unsigned 32-bit value as exactly 8 digits: "00401000".
std::string Hex8(std::uint32_t value);

// The value modulo 2^32 without leading zeros ("0" for zero): "401000".
std::string IntToHex(std::int64_t value);

// The full 64-bit value without leading zeros, for addresses of 64-bit images.
std::string IntToHex64(std::uint64_t value);

// Sum of digit(c_i) * 16^(L-i) over the bytes of the text, low 32 bits as int32.
// digit() accepts both cases; any other byte counts -2, so "G1" gives -31 and bytes
// nine or more places from the right never change the result.
std::int32_t HexToInt(std::string_view text);

// Like HexToInt, but "a" to "e" (either case) count 10 to 14 and every other byte that
// is not a decimal digit counts 15.
std::int32_t HexTextToValue(std::string_view text);

}  // namespace tessor
