// Small helpers for the translation tests: texts written as lists of lines.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "pe/imports.h"

namespace tessor::testing {

// Each line followed by CR LF.
inline std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const auto line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// An import row with the two columns the translation reads.
inline ImportRow Import(std::string thunkRva, std::string name) {
  return ImportRow{std::move(thunkRva), "", "", "", std::move(name)};
}

}  // namespace tessor::testing
