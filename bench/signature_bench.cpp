// Signature matching over a large file: the one-pass matcher against the per-entry
// reference search, measured in the same run.
//
//   signature_bench [MiB] [patterns]      (defaults 64 and 10000)
//
// The data is random bytes with every pattern planted once at a random place. The
// reference loop is timed over a sample of the entries and scaled to the whole set,
// since running it for all of them would take hours.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "signatures/pattern_matcher.h"
#include "text/hex.h"

using namespace tessor;

namespace {

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  std::mt19937_64 rng(42);
  std::vector<std::uint8_t> data(mib << 20);
  for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
    const std::uint64_t v = rng();
    for (int k = 0; k < 8; ++k) data[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
  }

  // 16 to 64 tokens, about one in ten a wildcard, some starting with "??".
  std::vector<std::string> patterns;
  std::vector<CompiledPattern> compiled;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t tokens = 16 + rng() % 49;
    std::string text;
    std::vector<std::uint8_t> bytes(tokens);
    for (std::size_t t = 0; t < tokens; ++t) {
      bytes[t] = static_cast<std::uint8_t>(rng());
      const bool wild = (t == 0 && i % 7 == 0) || rng() % 10 == 0;
      text += wild ? "??" : ByteToHex(bytes[t]);
      text += ' ';
    }
    const std::size_t at = 1000 + rng() % (data.size() - 2000);
    std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    patterns.push_back(text);
  }
  const ByteView view(data);

  const auto c0 = std::chrono::steady_clock::now();
  for (const auto& p : patterns) compiled.push_back(CompilePattern(p));
  const PatternSet set(std::move(compiled));
  const auto c1 = std::chrono::steady_clock::now();
  const auto found = set.FirstMatches(view, 500);
  const auto c2 = std::chrono::steady_clock::now();

  const std::size_t sample = std::min<std::size_t>(count, 100);
  std::size_t agree = 0;
  const auto r0 = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < sample; ++i) {
    const std::int64_t ref = FindPattern(view, patterns[i], 501);
    agree += (ref < 0 ? -1 : ref - 1) == found[i];
  }
  const auto r1 = std::chrono::steady_clock::now();

  std::size_t hits = 0;
  for (auto f : found) hits += f >= 0;
  const double mb = static_cast<double>(data.size()) / 1e6;
  const double one_pass = Seconds(c2 - c1);
  const double reference = Seconds(r1 - r0) * static_cast<double>(count) / static_cast<double>(sample);
  std::printf("data %.1f MB, %zu patterns, %zu found (%zu of %zu sampled agree with the reference)\n", mb, count, hits,
              agree, sample);
  std::printf("compile            %8.3f s\n", Seconds(c1 - c0));
  std::printf("one-pass matcher   %8.3f s  %10.1f MB/s\n", one_pass, mb / one_pass);
  std::printf("per-entry loop     %8.3f s  %10.3f MB/s  (scaled from %zu entries)\n", reference, mb / reference, sample);
  std::printf("ratio              %8.1fx\n", reference / one_pass);
  return agree == sample ? 0 : 1;
}
