#include "cli/output.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/encoding.h"
#include "text/hex.h"

namespace tessor {

namespace {

using Json = nlohmann::ordered_json;

// Writes GBK text, converted when the output is UTF-8.
class Writer {
 public:
  Writer(std::ostream& out, OutputEncoding encoding) : out_(out), encoding_(encoding) {}
  void operator()(std::string_view gbk) {
    if (encoding_ == OutputEncoding::Gbk) out_ << gbk;
    else out_ << GbkToUtf8(gbk);
  }

 private:
  std::ostream& out_;
  OutputEncoding encoding_;
};

std::string DisasmText(const DisasmLine& line) {
  return Hex8(line.position) + "\t" + std::to_string(line.length) + "\t" + line.dump + "\t" + line.command;
}

// Aligned columns: each column as wide as its widest cell (GBK bytes, which is the
// width a terminal gives them), two blanks between columns, no trailing blanks.
void WriteTextPage(const ReportTable& table, Writer& write) {
  const ListDef& def = table.Definition();
  const std::size_t columns = table.ColumnCount();
  std::vector<std::size_t> width(columns);
  for (std::size_t c = 0; c < columns; ++c) width[c] = def.columns[c].title.size();
  for (std::size_t r = 0; r < table.RowCount(); ++r)
    for (std::size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], table.Cell(r, c).size());

  auto line = [&](auto cell) {
    std::string text;
    for (std::size_t c = 0; c < columns; ++c) {
      const std::string_view value = cell(c);
      text += value;
      if (c + 1 < columns) text.append(width[c] - value.size() + 2, ' ');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    text += '\n';
    write(text);
  };
  write("== " + std::string(def.pageTitle) + " (" + std::string(def.cliName) + ") ==\n");
  line([&](std::size_t c) { return def.columns[c].title; });
  for (std::size_t r = 0; r < table.RowCount(); ++r)
    line([&](std::size_t c) { return std::string_view(table.Cell(r, c)); });
  write("\n");
}

void WriteTsvPage(const ReportTable& table, Writer& write) {
  const ListDef& def = table.Definition();
  write("# " + std::string(def.cliName) + "\n");
  auto line = [&](auto cell) {
    std::string text;
    for (std::size_t c = 0; c < table.ColumnCount(); ++c) {
      if (c) text += '\t';
      text += EscapeTsvCell(cell(c));
    }
    text += '\n';
    write(text);
  };
  line([&](std::size_t c) { return def.columns[c].title; });
  for (std::size_t r = 0; r < table.RowCount(); ++r)
    line([&](std::size_t c) { return std::string_view(table.Cell(r, c)); });
}

void WriteTitledTexts(const std::vector<TitledText>& texts, Writer& write) {
  for (const auto& t : texts) {
    write("# " + std::to_string(t.row) + " " + t.title + "\n");
    write(t.text);
    if (!t.text.empty() && t.text.back() != '\n') write("\n");
  }
}

Json TitledTextsJson(const std::vector<TitledText>& texts) {
  Json list = Json::array();
  for (const auto& t : texts)
    list.push_back({{"row", t.row}, {"title", GbkToUtf8(t.title)}, {"text", GbkToUtf8(t.text)}});
  return list;
}

void WriteJson(const Analysis& analysis, const OutputContent& content, std::ostream& out) {
  Json pages = Json::object();
  for (const ListDef* def : content.pages) {
    const ReportTable& table = analysis.report.Table(def->id);
    Json columns = Json::array();
    for (const auto& column : def->columns) columns.push_back(GbkToUtf8(column.title));
    Json rows = Json::array();
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
      Json row = Json::array();
      for (std::size_t c = 0; c < table.ColumnCount(); ++c) row.push_back(GbkToUtf8(table.Cell(r, c)));
      rows.push_back(std::move(row));
    }
    pages[std::string(def->cliName)] = {
        {"title", GbkToUtf8(def->pageTitle)}, {"columns", std::move(columns)}, {"rows", std::move(rows)}};
  }
  Json disasm = Json::array();
  for (const auto& line : content.disasm)
    disasm.push_back({Hex8(line.position), line.length, GbkToUtf8(line.dump), GbkToUtf8(line.command)});
  Json doc = {{"file", content.file},
              {"pages", std::move(pages)},
              {"listing", TitledTextsJson(content.listings)},
              {"pseudo", TitledTextsJson(content.pseudo)},
              {"disasm", std::move(disasm)}};
  // The path may hold bytes that are not UTF-8; they become U+FFFD.
  out << doc.dump(1, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

std::string EscapeTsvCell(std::string_view cell) {
  std::string out;
  out.reserve(cell.size());
  for (char c : cell) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

void WriteOutput(const Analysis& analysis, const OutputContent& content, OutputFormat format,
                 OutputEncoding encoding, std::ostream& out) {
  if (format == OutputFormat::Json) {
    WriteJson(analysis, content, out);
    return;
  }
  Writer write(out, encoding);
  for (const ListDef* def : content.pages) {
    const ReportTable& table = analysis.report.Table(def->id);
    if (format == OutputFormat::Text) WriteTextPage(table, write);
    else WriteTsvPage(table, write);
  }
  WriteTitledTexts(content.listings, write);
  WriteTitledTexts(content.pseudo, write);
  if (!content.disasm.empty()) {
    write("# disasm\n");
    for (const auto& line : content.disasm) write(DisasmText(line) + "\n");
  }
}

}  // namespace tessor
