#include "text/hex.h"

#include "text/text_ops.h"

namespace tessor {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// 0-based position of an exact byte in "0123456789ABCDEF", -1 when absent.
int UpperDigitIndex(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::int32_t ReadInt32LE(ByteSpan bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
  return static_cast<std::int32_t>(value);
}

Bytes HexTextToBytes(std::string_view text) {
  // One character-stepping pass drops the ASCII and the full-width blanks.
  std::string compact;
  compact.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = CharLength(text, at);
    const std::string_view ch = text.substr(at, n);
    if (ch != " " && ch != "\xA1\xA1") compact.append(ch);
    at += n;
  }
  Bytes out;
  out.reserve(compact.size() / 2);
  for (std::size_t k = 0; k + 1 < compact.size(); k += 2) {
    // With p the 1-based position (-1 when absent), p - 1 is the index for a digit
    // and -2 for any other byte.
    const int hi = UpperDigitIndex(static_cast<unsigned char>(compact[k]));
    const int lo = UpperDigitIndex(static_cast<unsigned char>(compact[k + 1]));
    const int value = (hi < 0 ? -2 : hi) * 16 + (lo < 0 ? -2 : lo);
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  }
  return out;
}

std::int64_t HexTextToInteger(std::string_view text) {
  std::uint64_t result = 0;
  for (char ch : text) {
    const int digit = UpperDigitIndex(AsciiUpper(static_cast<unsigned char>(ch)));
    if (digit < 0) return 0;
    result = result * 16 + static_cast<std::uint64_t>(digit);
  }
  return static_cast<std::int64_t>(result);
}

Bytes HexTextToNumberBytes(std::string_view text) {
  const auto value = static_cast<std::uint64_t>(HexTextToInteger(text));
  std::size_t width = 8;
  if (text.size() == 2) width = 1;
  else if (text.size() == 4) width = 2;
  else if (text.size() == 8) width = 4;
  Bytes out(width);
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return out;
}

std::string ByteToHex(std::uint8_t byte) {
  return std::string{kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::string BytesToHexText(ByteSpan bytes) {
  std::string out;
  if (bytes.empty()) return out;
  out.reserve(bytes.size() * 3 - 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

std::string BytesToBraceText(ByteSpan bytes) {
  if (bytes.empty()) return "{ }";
  std::string out = "{";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(bytes[i]);
  }
  out += '}';
  return out;
}

std::string HexDigits(std::uint64_t value, int digits) {
  std::string out(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0 && value != 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kDigits[value & 0x0F];
  return out;
}

std::string Hex8(std::uint32_t value) { return HexDigits(value, 8); }

std::string IntToHex64(std::uint64_t value) {
  char buffer[16];
  int n = 0;
  do {
    buffer[n++] = kDigits[value & 0x0F];
    value >>= 4;
  } while (value != 0);
  std::string out;
  out.reserve(static_cast<std::size_t>(n));
  while (n > 0) out += buffer[--n];
  return out;
}

std::string IntToHex(std::int64_t value) {
  return IntToHex64(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu);
}

std::int32_t HexToInt(std::string_view text) {
  // Exact arithmetic modulo 2^32: each step multiplies by 16, so a digit's weight
  // 16^k with k >= 8 vanishes, as the rule requires.
  std::uint32_t sum = 0;
  for (char ch : text) {
    const int digit = UpperDigitIndex(AsciiUpper(static_cast<unsigned char>(ch)));
    sum = sum * 16u + static_cast<std::uint32_t>(digit < 0 ? -2 : digit);
  }
  return static_cast<std::int32_t>(sum);
}

std::int32_t HexTextToValue(std::string_view text) {
  std::uint32_t sum = 0;
  for (char ch : text) {
    const unsigned char c = AsciiUpper(static_cast<unsigned char>(ch));
    std::uint32_t digit = 15;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'E') digit = c - 'A' + 10u;
    sum = sum * 16u + digit;
  }
  return static_cast<std::int32_t>(sum);
}

}  // namespace tessor
