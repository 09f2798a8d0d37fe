#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <tuple>

#include "app/analysis.h"
#include "app/translation_jobs.h"
#include "cli/encoding.h"
#include "cli/output.h"

namespace tessor {

namespace {

constexpr const char* kVersion = "tessor 0.1.0";
constexpr std::string_view kWholeSection = "整个.text";

struct CliOptions {
  std::string file;
  std::vector<std::string> pages;
  std::string format = "text";
  std::string length = "2000";
  std::string pseudo;
  std::string listing;
  bool disasm = false;
  std::string esig;
  std::string exportImages;
  std::string encoding = "utf-8";
};

std::filesystem::path PathFromArgument(const std::string& arg) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(arg.begin(), arg.end()));
#else
  return std::filesystem::path(arg);
#endif
}

void Describe(CLI::App& app, CliOptions& o) {
  std::vector<std::string> names;
  for (const auto& def : kLists)
    if (!def.cliName.empty()) names.emplace_back(def.cliName);
  app.add_option("FILE", o.file, "the file to analyse")->required();
  app.add_option("--page", o.pages, "print only this page (repeatable): pe subs imports images sections exports markers esig")
      ->check(CLI::IsMember(names))
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--format", o.format, "text (default), tsv, json")->check(CLI::IsMember({"text", "tsv", "json"}));
  app.add_option("--length", o.length, "the sweep length: a number of bytes, or whole (default 2000)");
  app.add_option("--pseudo", o.pseudo, "also print the pseudo-code of subroutine row ROW (0-based), or of every row (all)");
  app.add_option("--listing", o.listing, "also print the instruction listing of row ROW, or of every row (all)");
  app.add_flag("--disasm", o.disasm, "also print every swept instruction: position, length, dump, command");
  app.add_option("--esig", o.esig, "signature folder (default: esig beside the program)");
  app.add_option("--export-images", o.exportImages, "write every embedded image into DIR");
  app.add_option("--encoding", o.encoding, "utf-8 (default) or gbk, for text and tsv; json is always UTF-8")
      ->check(CLI::IsMember({"utf-8", "gbk"}));
  app.set_version_flag("--version", kVersion);
}

// The rows a ROW|all option names, or nullopt when it names a row that does not exist.
std::optional<std::vector<std::size_t>> SelectRows(const std::string& choice, std::size_t rows) {
  std::vector<std::size_t> selected;
  if (choice.empty()) return selected;
  if (choice == "all") {
    for (std::size_t r = 0; r < rows; ++r) selected.push_back(r);
    return selected;
  }
  std::size_t row = 0;
  for (char c : choice) {
    if (c < '0' || c > '9' || row > rows) return std::nullopt;
    row = row * 10 + static_cast<std::size_t>(c - '0');
  }
  if (row >= rows) return std::nullopt;
  selected.push_back(row);
  return selected;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programDir) {
  CLI::App app{"Tessor: static analysis of Windows PE files", "tessor"};
  CliOptions o;
  Describe(app, o);
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitDone;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitDone;
  } catch (const CLI::CallForVersion&) {
    out << kVersion << '\n';
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    err << "tessor: " << e.what() << "\n" << app.help();
    return kExitUsage;
  }

  AnalysisOptions options;
  options.keepInstructions = o.disasm;
  options.lengthText = o.length == "whole" ? std::string(kWholeSection) : Utf8ToGbk(o.length);
  const std::filesystem::path esig = o.esig.empty() ? programDir / "esig" : PathFromArgument(o.esig);
  options.signatures = LoadSignatureFolder(esig, [](const std::filesystem::path& name) {
    const auto text = name.u8string();
    return Utf8ToGbk(std::string(text.begin(), text.end()));
  });

  std::string reason;
  const AnalysisSnapshot analysis = AnalyseFile(PathFromArgument(o.file), options, reason);
  if (!analysis) {
    err << "tessor: cannot open " << o.file << ": " << reason << '\n';
    return kExitUnreadable;
  }

  OutputContent content;
  content.file = o.file;
  if (o.pages.empty()) {
    for (const auto& def : kLists)
      if (!def.cliName.empty()) content.pages.push_back(&def);
  } else {
    for (const auto& name : o.pages) content.pages.push_back(FindListByCliName(name));
  }

  const std::size_t rows = analysis->subroutines.size();
  const auto listing_rows = SelectRows(o.listing, rows);
  const auto pseudo_rows = SelectRows(o.pseudo, rows);
  for (const auto& [selected, option, choice] :
       {std::tuple{&listing_rows, "--listing", &o.listing}, std::tuple{&pseudo_rows, "--pseudo", &o.pseudo}}) {
    if (!*selected) {
      err << "tessor: " << option << " " << *choice << ": no such subroutine row (the file has " << rows << ")\n";
      return kExitUsage;
    }
  }
  for (const std::size_t row : *listing_rows) {
    const SubroutineEntry& entry = analysis->subroutines[row];
    content.listings.push_back({row, entry.title, entry.listing});
  }
  if (!pseudo_rows->empty()) {
    const TranslationContext context = TranslationContextOf(*analysis);
    for (const std::size_t row : *pseudo_rows) {
      const SubroutineEntry& entry = analysis->subroutines[row];
      content.pseudo.push_back({row, entry.title, TranslateListing(entry.listing, context)});
    }
  }
  for (const auto& i : analysis->instructions) content.disasm.push_back({i.position, i.length, i.dump, i.command});

  if (!o.exportImages.empty()) {
    const ExportResult result = ExportAllImages(*analysis, PathFromArgument(o.exportImages));
    if (!result.firstFailure.empty()) {
      err << "tessor: cannot write " << result.firstFailure << '\n';
      return kExitUnreadable;
    }
    err << "tessor: " << result.written << " images written to " << o.exportImages << '\n';
  }

  WriteOutput(*analysis, content, o.format == "json" ? OutputFormat::Json
                                  : o.format == "tsv" ? OutputFormat::Tsv
                                                      : OutputFormat::Text,
              o.encoding == "gbk" ? OutputEncoding::Gbk : OutputEncoding::Utf8, out);
  return kExitDone;
}

}  // namespace tessor
