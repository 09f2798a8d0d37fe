// Conversion of the system's GBK texts for the terminal.
#pragma once

#include <string>
#include <string_view>

namespace tessor {

// GBK (code page 936) bytes as UTF-8. A byte sequence that is not GBK becomes U+FFFD
// and conversion goes on with the next byte.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 as GBK, for texts given on the command line; characters GBK lacks become "?".
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace tessor
