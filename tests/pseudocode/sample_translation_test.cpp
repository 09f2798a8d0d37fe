// Every subroutine of the bundled sample, analysed for real and translated: the fast
// path gives the reference text, and the texts hold the translator's vocabulary. The
// decoder's texts may change, so only the vocabulary is checked, not exact lines.
#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "app/analysis.h"
#include "app/translation_jobs.h"
#include "pseudocode/translate.h"

namespace tessor {
namespace {

struct SampleFile {
  const char* folder;  // under the fixture folder
  const char* name;
  bool pushesArguments;  // built to pass arguments with PUSH, so string pushes occur
};

// Everything the translations of one file hold, one after another.
struct Translated {
  std::string all;
  std::size_t rows = 0;
};

Translated TranslateEveryRow(const std::filesystem::path& path) {
  Translated out;
  AnalysisOptions options;
  options.lengthText = kWholeCodeSection;
  std::string error;
  const AnalysisSnapshot analysis = AnalyseFile(path, options, error);
  EXPECT_NE(analysis, nullptr) << path.string() << ": " << error;
  if (!analysis) return out;
  const TranslationContext context = TranslationContextOf(*analysis);
  for (const SubroutineEntry& entry : analysis->subroutines) {
    const std::string text = TranslateListing(entry.listing, context);
    EXPECT_EQ(text, TranslateListingReference(entry.listing, context)) << path.string() << " " << entry.title;
    out.all += text;
    ++out.rows;
  }
  // At least one import is called by its name.
  bool named = false;
  for (const ImportRow& import : analysis->imports)
    named = named || out.all.find("\r\n" + import[4] + "()") != std::string::npos;
  EXPECT_TRUE(named) << path.string();
  return out;
}

class SampleTranslation : public ::testing::TestWithParam<SampleFile> {};

TEST_P(SampleTranslation, EveryRowTranslatesWithTheVocabulary) {
  const SampleFile file = GetParam();
  const std::string root = file.pushesArguments ? TESSOR_PUSH_SAMPLE_DIR : TESSOR_SAMPLE_DIR;
  if (root.empty()) GTEST_FAIL() << "the build found no MinGW compiler to build the sample with";
  const Translated t = TranslateEveryRow(std::filesystem::path(root) / file.folder / file.name);
  EXPECT_GT(t.rows, 5u);
  EXPECT_NE(t.all.find(".局部变量 "), std::string::npos);
  EXPECT_NE(t.all.find("如果("), std::string::npos);
  EXPECT_NE(t.all.find("返回(a)"), std::string::npos);
  // A call statement with an argument list.
  EXPECT_TRUE(std::regex_search(t.all, std::regex("sub_[0-9A-F]{8}\\( [^)\r\n]"))) << file.name;
  if (file.pushesArguments) {
    EXPECT_NE(t.all.find("\"Tessor sample\""), std::string::npos);
    EXPECT_NE(t.all.find("\"静态分析示例\""), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SampleTranslation,
                         ::testing::Values(SampleFile{"sample32", "sample.exe", false},
                                           SampleFile{"sample32", "sample.dll", false},
                                           SampleFile{"sample64", "sample.exe", false},
                                           SampleFile{"sample64", "sample.dll", false},
                                           SampleFile{"pushes", "sample.exe", true}),
                         [](const auto& info) {
                           std::string name = std::string(info.param.folder) + "_" + info.param.name;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

}  // namespace
}  // namespace tessor
