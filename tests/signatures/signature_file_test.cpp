#include "signatures/signature_file.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

struct ParseCase {
  const char* what;
  std::string content;
  std::vector<std::pair<std::string, std::string>> entries;
};

TEST(SignatureFile, ParsesEntryLines) {
  const ParseCase cases[] = {
      {"lines end with CR LF", "a:55 8B\r\nb:EC\r\n", {{"a", "55 8B"}, {"b", "EC"}}},
      {"lines without a colon are skipped", "comment\r\n\r\nx:90\r\n", {{"x", "90"}}},
      {"further fields are ignored", "name:55 8B EC:remark\r\n", {{"name", "55 8B EC"}}},
      {"an empty name", ":55\r\n", {{"", "55"}}},
      {"an empty pattern between colons", "a::c\r\n", {{"a", ""}}},
      {"a colon that ends the line", "only:\r\n", {{"only", ""}}},
      {"LF alone ends no line", "a:55\nb:66\n", {{"a", "55\nb"}}},
      {"the text ends at a zero byte", std::string("a:55\r\nb:6", 9) + std::string("\0c:77\r\n", 7), {{"a", "55"}, {"b", "6"}}},
      {"no line end at the end", "a:55", {{"a", "55"}}},
      {"GBK names", "取文本长度:55 8B EC\r\n", {{"取文本长度", "55 8B EC"}}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    const auto entries = ParseSignatureText(c.content);
    ASSERT_EQ(entries.size(), c.entries.size()) << c.what;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].name, c.entries[i].first) << c.what;
      EXPECT_EQ(entries[i].pattern, c.entries[i].second) << c.what;
    }
  }
}

TEST(SignatureFile, LibraryNameIsTheFileNameWithoutEsig) {
  EXPECT_EQ(LibraryNameFromFileName("kernel.esig"), "kernel");
  EXPECT_EQ(LibraryNameFromFileName("abc.ESIG.esig"), "abc");
  EXPECT_EQ(LibraryNameFromFileName("核心库.Esig"), "核心库");
  EXPECT_EQ(LibraryNameFromFileName("a.esigb.esig"), "ab");
}

}  // namespace
}  // namespace tessor
