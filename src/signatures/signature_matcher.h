// Matching every entry of the loaded signature files against the analysed file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "signatures/pattern_matcher.h"
#include "signatures/signature_file.h"

namespace tessor {

// A match counts only from this 0-based offset on: the file's headers come first.
inline constexpr std::uint64_t kFirstSignatureOffset = 500;

class SignatureMatcher {
 public:
  explicit SignatureMatcher(SignatureLibrary library);

  struct Hit {
    std::size_t file;     // index into library().files
    std::size_t entry;    // index into that file's entries
    std::uint64_t offset; // 0-based offset of the entry's first match past the headers
  };

  const SignatureLibrary& library() const { return library_; }

  // One pass over the data; at most one hit per entry, in the order of the files and
  // of their entries. Empty, odd and all-wildcard patterns never match.
  std::vector<Hit> Match(ByteView data) const;

 private:
  SignatureLibrary library_;
  std::vector<std::pair<std::size_t, std::size_t>> where_;  // pattern index -> (file, entry)
  PatternSet patterns_;
};

}  // namespace tessor
