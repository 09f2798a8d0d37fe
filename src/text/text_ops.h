// Text operations over GBK byte strings.
//
// Every text of the system is a byte string in code page 936. Lengths and positions
// count bytes, positions are 1-based, and a search that finds nothing gives -1.
// Scanning steps by character: a byte below 0x80 is one character, a lead byte of
// 0x80 or above takes the byte after it along, so a match never begins on a trail byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessor {

// A 1-based byte position, or -1 for "not found".
using TextPos = std::int64_t;

enum class CaseMode {
  Insensitive,  // the 26 ASCII letters equal their other case; other bytes compare exactly
  Sensitive,    // bytes compare exactly
};

// Byte length of the character that starts at the 0-based offset `at`: 2 for a lead
// byte that has a byte after it, otherwise 1.
inline std::size_t CharLength(std::string_view text, std::size_t at) {
  return (static_cast<unsigned char>(text[at]) >= 0x80 && at + 1 < text.size()) ? 2 : 1;
}

// The ASCII upper-case form of a byte; other bytes stay.
inline unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// True when `part` matches `text` at the 0-based offset `at`.
bool MatchesAt(std::string_view text, std::size_t at, std::string_view part,
               CaseMode mode = CaseMode::Insensitive);

// Position of the first match of `part` found by character stepping, or -1.
// An empty part gives 1 for a non-empty text and -1 for an empty one.
TextPos Find(std::string_view text, std::string_view part, CaseMode mode = CaseMode::Insensitive);

inline bool Contains(std::string_view text, std::string_view part,
                     CaseMode mode = CaseMode::Insensitive) {
  return Find(text, part, mode) != -1;
}

// Every non-overlapping occurrence of `old_part` replaced by `new_part`, found by
// character stepping; the inserted text is not scanned again. An empty text or an
// empty `old_part` leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view old_part, std::string_view new_part,
                       CaseMode mode = CaseMode::Insensitive);

// The pieces between exact occurrences of `separator`. Empty pieces between adjacent
// separators are kept; the piece after the last separator only when it is not empty.
// An empty text gives no pieces.
std::vector<std::string> Split(std::string_view text, std::string_view separator = ",");

// Split by "\r\n".
std::vector<std::string> SplitLines(std::string_view text);

// Each line followed by "\r\n"; no lines give the empty text.
std::string JoinLines(const std::vector<std::string>& lines);

// The first n bytes: empty for n <= 0, the whole text for n >= its length.
std::string Left(std::string_view text, std::int64_t n);

// n bytes from the 1-based position `start`: empty when start is below 1 or past the
// last byte, or n <= 0; cut short at the end of the text.
std::string Mid(std::string_view text, std::int64_t start, std::int64_t n);

// ASCII letters upper-cased; every other byte stays, the trail bytes of two-byte
// characters included.
std::string ToUpperAscii(std::string_view text);

}  // namespace tessor
