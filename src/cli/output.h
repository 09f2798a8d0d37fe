// Printing an analysis as text, TSV or JSON.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/analysis.h"

namespace tessor {

enum class OutputFormat { Text, Tsv, Json };
enum class OutputEncoding { Utf8, Gbk };

// A titled text printed after the pages: a subroutine's listing or its pseudo-code.
struct TitledText {
  std::size_t row;
  std::string title;  // GBK
  std::string text;   // GBK
};

// One swept instruction.
struct DisasmLine {
  std::uint32_t position;
  std::uint32_t length;
  std::string dump;
  std::string command;
};

struct OutputContent {
  std::string file;                    // the path as the user gave it (UTF-8)
  std::vector<const ListDef*> pages;   // in the order to print
  std::vector<TitledText> listings;
  std::vector<TitledText> pseudo;
  std::vector<DisasmLine> disasm;
};

void WriteOutput(const Analysis& analysis, const OutputContent& content, OutputFormat format,
                 OutputEncoding encoding, std::ostream& out);

// A cell for one TSV field: tab, CR and LF written as \t, \r and \n.
std::string EscapeTsvCell(std::string_view cell);

}  // namespace tessor
