#include "text/text_ops.h"

namespace tessor {

bool MatchesAt(std::string_view text, std::size_t at, std::string_view part, CaseMode mode) {
  if (at > text.size() || text.size() - at < part.size()) return false;
  if (mode == CaseMode::Sensitive) return text.compare(at, part.size(), part) == 0;
  for (std::size_t i = 0; i < part.size(); ++i) {
    if (AsciiUpper(static_cast<unsigned char>(text[at + i])) !=
        AsciiUpper(static_cast<unsigned char>(part[i])))
      return false;
  }
  return true;
}

namespace {

// 0-based offset of the first character start at or after `from` where `part` matches,
// or npos. `from` must itself be a character start.
std::size_t FindOffset(std::string_view text, std::string_view part, std::size_t from,
                       CaseMode mode) {
  if (part.empty()) return from < text.size() ? from : std::string_view::npos;
  const unsigned char first = static_cast<unsigned char>(part[0]);
  const unsigned char first_upper = AsciiUpper(first);
  const bool exact = mode == CaseMode::Sensitive;
  const std::size_t size = text.size();
  if (size < part.size()) return std::string_view::npos;
  const std::size_t last = size - part.size();
  std::size_t at = from;
  while (at <= last) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const bool head = exact ? c == first : AsciiUpper(c) == first_upper;
    if (head && MatchesAt(text, at, part, mode)) return at;
    at += (c >= 0x80 && at + 1 < size) ? 2 : 1;
  }
  return std::string_view::npos;
}

}  // namespace

TextPos Find(std::string_view text, std::string_view part, CaseMode mode) {
  if (text.empty()) return -1;
  const std::size_t at = FindOffset(text, part, 0, mode);
  return at == std::string_view::npos ? -1 : static_cast<TextPos>(at) + 1;
}

std::string ReplaceAll(std::string_view text, std::string_view old_part, std::string_view new_part,
                       CaseMode mode) {
  if (text.empty() || old_part.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  std::size_t at = FindOffset(text, old_part, 0, mode);
  while (at != std::string_view::npos) {
    out.append(text, copied, at - copied);
    out.append(new_part);
    copied = at + old_part.size();
    at = FindOffset(text, old_part, copied, mode);
  }
  out.append(text, copied, std::string_view::npos);
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t start = 0;
  std::size_t at = FindOffset(text, separator, 0, CaseMode::Sensitive);
  while (at != std::string_view::npos) {
    pieces.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
    at = FindOffset(text, separator, start, CaseMode::Sensitive);
  }
  if (start < text.size()) pieces.emplace_back(text.substr(start));
  return pieces;
}

std::vector<std::string> SplitLines(std::string_view text) { return Split(text, "\r\n"); }

std::string JoinLines(const std::vector<std::string>& lines) {
  std::size_t total = 0;
  for (const auto& line : lines) total += line.size() + 2;
  std::string out;
  out.reserve(total);
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::string Left(std::string_view text, std::int64_t n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string Mid(std::string_view text, std::int64_t start, std::int64_t n) {
  if (start < 1 || n <= 0 || static_cast<std::uint64_t>(start) > text.size()) return {};
  return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (std::size_t at = 0; at < out.size(); at += CharLength(out, at))
    out[at] = static_cast<char>(AsciiUpper(static_cast<unsigned char>(out[at])));
  return out;
}

}  // namespace tessor
