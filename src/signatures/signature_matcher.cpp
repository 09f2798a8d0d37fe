#include "signatures/signature_matcher.h"

namespace tessor {

namespace {

std::vector<CompiledPattern> CompileAll(const SignatureLibrary& library,
                                        std::vector<std::pair<std::size_t, std::size_t>>& where) {
  std::vector<CompiledPattern> compiled;
  for (std::size_t f = 0; f < library.files.size(); ++f) {
    const auto& entries = library.files[f].entries;
    for (std::size_t e = 0; e < entries.size(); ++e) {
      compiled.push_back(CompilePattern(entries[e].pattern));
      where.emplace_back(f, e);
    }
  }
  return compiled;
}

}  // namespace

SignatureMatcher::SignatureMatcher(SignatureLibrary library)
    : library_(std::move(library)), patterns_(CompileAll(library_, where_)) {}

std::vector<SignatureMatcher::Hit> SignatureMatcher::Match(ByteView data) const {
  std::vector<Hit> hits;
  const auto found = patterns_.FirstMatches(data, kFirstSignatureOffset);
  for (std::size_t i = 0; i < found.size(); ++i)
    if (found[i] >= 0) hits.push_back({where_[i].first, where_[i].second, static_cast<std::uint64_t>(found[i])});
  return hits;
}

}  // namespace tessor
