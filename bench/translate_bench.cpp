// Pseudo-code translation: the name substitutions done through the key index against
// the literal one-row-after-another definition, measured in the same run; then every
// subroutine of whole-section sweeps of large real binaries.
//
//   translate_bench [FILE...]
//
// The first case builds a listing of 5,000 lines with a context of 2,000 import rows
// and 50,000 subroutines, laid out as a sweep gives them (import thunks with their
// labels and names, subroutine addresses from the image base), and translates it both
// ways. The second analyses each FILE (by default the largest PE files of the Wine and
// MinGW packages, when present) with the whole code section swept, translates every
// subroutine on the fast path, and runs the literal path on a spread sample of rows.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/translation_jobs.h"
#include "pseudocode/translate.h"
#include "text/hex.h"

using namespace tessor;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Synthetic {
  std::string listing;
  std::vector<ImportRow> imports;
  std::vector<SubroutineEntry> subroutines;
};

// A DLL at image base 0x10000000 with a code section at RVA 0x1000 holding 50,000
// subroutines, the last 2,000 of them import thunks, and an import table at RVA
// 0x600000. The listing pushes and stores, compares and jumps, calls subroutines and
// thunks by their position values, calls imports through their slots and pushes
// subroutine addresses.
Synthetic MakeSynthetic() {
  constexpr std::uint64_t kImageBase = 0x10000000;
  constexpr int kImports = 2000;
  constexpr int kSubroutines = 50000;
  constexpr int kLines = 5000;
  std::mt19937 random(7);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

  Synthetic s;
  for (int i = 0; i < kImports; ++i) {
    const auto slot = static_cast<std::uint32_t>(0x600000 + 4 * i);
    s.imports.push_back({Hex8(slot), Hex8(slot - 0x1000), Hex8(0x610000 + 0x20 * static_cast<std::uint32_t>(i)),
                         "0000", "Function" + std::to_string(i) + (i % 3 ? "A" : "W")});
  }
  std::vector<std::uint32_t> positions;
  std::uint32_t position = 0x1000;
  for (int i = 0; i < kSubroutines; ++i) {
    SubroutineEntry e;
    positions.push_back(position);
    e.address = IntToHex(kImageBase + position - 1);
    if (i >= kSubroutines - kImports) {
      e.thunkLabel = "sub_" + Hex8(position);
      e.title = s.imports[static_cast<std::size_t>(i - (kSubroutines - kImports))][4];
      position += 6;
    } else {
      e.title = ".子程序 sub_" + Hex8(position + 1);
      position += 16 + 4 * static_cast<std::uint32_t>(pick(40));
    }
    s.subroutines.push_back(std::move(e));
  }

  // A few hundred imports and subroutines are used, as in a real function.
  const auto called = [&] { return Hex8(positions[static_cast<std::size_t>(pick(kSubroutines - kImports))]); };
  const auto thunk = [&] { return Hex8(positions[static_cast<std::size_t>(kSubroutines - 1 - pick(300))]); };
  const auto slot = [&] { return IntToHex(kImageBase + 0x600000 + 4 * static_cast<std::uint32_t>(pick(300))); };
  const auto pushed = [&] { return "00" + s.subroutines[static_cast<std::size_t>(pick(kSubroutines))].address; };
  const auto global = [&] { return IntToHex(kImageBase + 0x700000 + 4 * static_cast<std::uint32_t>(pick(4096))); };
  const auto slotOffset = [&] { return IntToHex(4 * static_cast<std::uint32_t>(1 + pick(16))); };

  s.listing = ".局部变量 EAX, 整数型, , , 返回值\r\n";
  for (int i = 1; i < kLines; ++i) {
    std::string line;
    switch (pick(24)) {
      case 0: line = "PUSH " + IntToHex(static_cast<std::uint32_t>(pick(256))); break;
      case 1: line = "PUSH DWORD PTR SS:[EBP+" + slotOffset() + "]"; break;
      case 2: line = "PUSH EAX"; break;
      case 3: line = "PUSH " + pushed(); break;
      case 4: case 5: line = "CALL " + called() + "()"; break;
      case 6: line = "CALL " + thunk() + "()"; break;
      case 7: line = "CALL DWORD PTR DS:[" + slot() + "]()"; break;
      case 8: line = "MOV ESI=DWORD PTR DS:[" + slot() + "]"; break;
      case 9: line = "MOV DWORD PTR SS:[EBP-" + slotOffset() + "]=EAX"; break;
      case 10: line = "MOV EAX=DWORD PTR SS:[EBP-" + slotOffset() + "]"; break;
      case 11: line = "MOV EAX=DWORD PTR DS:[" + global() + "]"; break;
      case 12: line = "MOV DWORD PTR DS:[" + global() + "]=EAX"; break;
      case 13: line = "CMP DWORD PTR SS:[EBP-" + slotOffset() + "]," + IntToHex(static_cast<std::uint32_t>(pick(64))); break;
      case 14: line = "JLE SHORT " + called(); break;
      case 15: line = "TEST EAX,EAX"; break;
      case 16: line = "JE SHORT " + called(); break;
      case 17: line = " EAX+" + IntToHex(static_cast<std::uint32_t>(pick(64))); break;
      case 18: line = " ESP+" + IntToHex(4 * static_cast<std::uint32_t>(pick(8))); break;
      case 19: line = "LEA EAX,DWORD PTR SS:[EBP-" + slotOffset() + "]"; break;
      case 20: line = "XOR EAX,EAX"; break;
      case 21: line = "MOV ECX=DWORD PTR SS:[EBP+" + slotOffset() + "]"; break;
      case 22: line = "SHL EAX,2"; break;
      default: line = "POP ESI"; break;
    }
    s.listing += line + "\r\n";
  }
  s.listing += "RETN\r\n";
  return s;
}

void SyntheticCase() {
  const Synthetic s = MakeSynthetic();
  const auto t0 = Clock::now();
  const TranslationContext context = MakeTranslationContext(s.imports, s.subroutines, 0x10000000, {}, nullptr);
  const auto t1 = Clock::now();
  const std::string fast = TranslateListing(s.listing, context);
  const auto t2 = Clock::now();
  const std::string reference = TranslateListingReference(s.listing, context);
  const auto t3 = Clock::now();
  const double fastMs = Milliseconds(t2 - t1);
  const double referenceMs = Milliseconds(t3 - t2);
  std::printf("5,000-line listing, %zu import rows, %zu subroutines (%zu bytes in, %zu bytes out)\n",
              s.imports.size(), s.subroutines.size(), s.listing.size(), fast.size());
  std::printf("  context with key index built once:  %9.1f ms\n", Milliseconds(t1 - t0));
  std::printf("  production path (indexed names):    %9.1f ms\n", fastMs);
  std::printf("  reference path (row after row):     %9.1f ms\n", referenceMs);
  std::printf("  speed-up %.0fx, output %s\n", referenceMs / fastMs, fast == reference ? "identical" : "DIFFERENT");
}

void RealFile(const std::filesystem::path& path) {
  AnalysisOptions options;
  options.lengthText = kWholeCodeSection;
  std::string error;
  const auto t0 = Clock::now();
  const AnalysisSnapshot analysis = AnalyseFile(path, options, error);
  const auto t1 = Clock::now();
  if (!analysis) {
    std::printf("%s: %s\n", path.string().c_str(), error.c_str());
    return;
  }
  const TranslationContext context = TranslationContextOf(*analysis);
  const auto t2 = Clock::now();
  std::size_t lines = 0, bytes = 0;
  for (const auto& entry : analysis->subroutines) {
    const std::string text = TranslateListing(entry.listing, context);
    bytes += text.size();
    for (char c : text) lines += c == '\n';
  }
  const auto t3 = Clock::now();
  const std::size_t rows = analysis->subroutines.size();
  const std::size_t step = rows > 200 ? rows / 200 : 1;
  std::size_t sampled = 0, same = 0;
  Clock::duration fastTime{}, referenceTime{};
  for (std::size_t r = 0; r < rows; r += step) {
    const std::string& listing = analysis->subroutines[r].listing;
    const auto a = Clock::now();
    const std::string fast = TranslateListing(listing, context);
    const auto b = Clock::now();
    const std::string reference = TranslateListingReference(listing, context);
    const auto c = Clock::now();
    fastTime += b - a;
    referenceTime += c - b;
    ++sampled;
    same += fast == reference;
  }
  std::printf("%s: %zu subroutines, %zu import rows, %llu bytes\n", path.string().c_str(), rows,
              analysis->imports.size(), static_cast<unsigned long long>(analysis->file ? analysis->file->size() : 0));
  std::printf("  analysis (whole code section):      %9.1f ms\n", Milliseconds(t1 - t0));
  std::printf("  translation context:                %9.1f ms\n", Milliseconds(t2 - t1));
  std::printf("  every subroutine, production path:  %9.1f ms (%zu lines, %zu bytes of pseudo-code)\n",
              Milliseconds(t3 - t2), lines, bytes);
  std::printf("  sample of %zu rows: production %.1f ms, reference %.1f ms (%.0fx), %zu of %zu identical\n", sampled,
              Milliseconds(fastTime), Milliseconds(referenceTime),
              Milliseconds(referenceTime) / Milliseconds(fastTime), same, sampled);
}

}  // namespace

int main(int argc, char** argv) {
  SyntheticCase();
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) files.emplace_back(argv[i]);
  if (files.empty()) {
    for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mshtml.dll",
                                  "/usr/lib/gcc/i686-w64-mingw32/12-posix/libstdc++-6.dll"}) {
      std::error_code ec;
      if (std::filesystem::exists(candidate, ec)) files.emplace_back(candidate);
    }
  }
  for (const auto& file : files) RealFile(file);
  return 0;
}
