// The decoder over real code, in one run: Zydis's decoding alone, our Decoder (decoding
// and both texts), and objdump over the same bytes.
//
//   decoder_bench [FILE32 [FILE64 [MiB]]]     (defaults: the MinGW runtime DLLs, 16 MiB)
//
// The code section of each file is repeated until the code is at least MiB mebibytes;
// FILE32 is swept in 32-bit mode, FILE64 in 64-bit mode. Every sweep is linear, as the
// analysis sweeps: an instruction starts where the previous one ended. The sweeps take
// turns, five rounds, and each figure is the best of its five, so that a busy machine
// slows them alike. Allocations made while our Decoder sweeps are counted too.
#include <Zydis/Decoder.h>

#include "disasm/subroutines.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "disasm/decoder.h"
#include "pe/file_bytes.h"
#include "pe/pe_headers.h"
#include "pe/sections.h"

namespace {

std::atomic<std::size_t> g_allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace tessor;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Code {
  std::vector<std::uint8_t> bytes;
  std::uint64_t imageBase = 0;
  std::uint64_t imageSize = 0;
  std::size_t sectionSize = 0;
};

// The first code section named .text, repeated to at least `minimum` bytes.
bool LoadCode(const std::string& path, std::size_t minimum, Code& code) {
  std::string reason;
  const SharedFileBytes file = ReadFileBytes(path, reason);
  if (!file) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
    return false;
  }
  const ByteView view = file->View();
  const PeHeaders headers = ReadPeHeaders(view);
  const SectionTable table = ReadSectionTable(view);
  for (const auto& s : table.sections) {
    if (s.Name != ".text") continue;
    const auto size = static_cast<std::uint64_t>(std::min(s.VirtualSize, s.SizeOfRawData));
    const auto section = view.Slice(static_cast<std::uint32_t>(s.PointerToRawData), size);
    if (section.empty()) break;
    code.imageBase = headers.ImageBase;
    code.imageSize = static_cast<std::uint32_t>(headers.SizeOfImage);
    code.sectionSize = section.size();
    while (code.bytes.size() < minimum) code.bytes.insert(code.bytes.end(), section.begin(), section.end());
    return true;
  }
  std::fprintf(stderr, "%s: no .text section\n", path.c_str());
  return false;
}

struct Figure {
  double seconds = 1e30;
  std::size_t instructions = 0;

  template <typename Sweep>
  void Run(Sweep sweep) {
    const auto t0 = Clock::now();
    const std::size_t n = sweep();
    const double s = Seconds(Clock::now() - t0);
    if (s < seconds) *this = {s, n};
  }
};

enum class ZydisWork { Instruction, VisibleOperands, Full };

std::size_t SweepZydis(const ZydisDecoder& zydis, const std::vector<std::uint8_t>& bytes, ZydisWork work) {
  std::size_t count = 0;
  ZydisDecoderContext context;
  ZydisDecodedInstruction ins;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
  for (std::size_t k = 0; k < bytes.size(); ++count) {
    const std::size_t left = bytes.size() - k;
    ZyanStatus status;
    if (work == ZydisWork::Full) {
      status = ZydisDecoderDecodeFull(&zydis, bytes.data() + k, left, &ins, ops);
    } else {
      status = ZydisDecoderDecodeInstruction(&zydis, &context, bytes.data() + k, left, &ins);
      if (ZYAN_SUCCESS(status) && work == ZydisWork::VisibleOperands) {
        status = ZydisDecoderDecodeOperands(&zydis, &context, &ins, ops, ins.operand_count_visible);
      }
    }
    k += ZYAN_SUCCESS(status) ? ins.length : 1;
  }
  return count;
}

std::size_t SweepDecoder(const Decoder& decoder, const std::vector<std::uint8_t>& bytes, DecodedInstruction& out,
                         std::size_t& textBytes) {
  std::size_t count = 0;
  textBytes = 0;
  const std::span<const std::uint8_t> all(bytes);
  for (std::size_t k = 0; k < bytes.size(); k += out.length, ++count) {
    decoder.Decode(all.subspan(k), static_cast<std::uint32_t>(0x1000 + k), out);
    textBytes += out.dump.size() + out.command.size();
  }
  return count;
}

// objdump over the same bytes as a raw binary file, its output thrown away.
double TimeObjdump(const std::vector<std::uint8_t>& bytes, bool bits64) {
  const auto path = std::filesystem::temp_directory_path() / (bits64 ? "tessor_bench64.bin" : "tessor_bench32.bin");
  if (FILE* f = std::fopen(path.string().c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  } else {
    return -1;
  }
  const std::string command = std::string(bits64 ? "x86_64-w64-mingw32-objdump -m i386:x86-64"
                                                 : "i686-w64-mingw32-objdump -m i386") +
                              " -D -b binary --insn-width=16 '" + path.string() + "' > /dev/null";
  double best = 1e30;
  for (int run = 0; run < 2; ++run) {
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0) {
      best = -1;
      break;
    }
    best = std::min(best, Seconds(Clock::now() - t0));
  }
  std::filesystem::remove(path);
  return best;
}

void Row(const char* label, double mb, const Figure& f) {
  std::printf("  %-38s %8.3f s %9.1f MB/s %8.2f M instructions/s\n", label, f.seconds, mb / f.seconds,
              static_cast<double>(f.instructions) / f.seconds / 1e6);
}

void Bench(const std::string& path, bool bits64, std::size_t minimum) {
  Code code;
  if (!LoadCode(path, minimum, code)) return;
  const double mb = static_cast<double>(code.bytes.size()) / 1e6;
  std::printf("%s-bit code: %s, .text of %zu bytes repeated to %.1f MB\n", bits64 ? "64" : "32", path.c_str(),
              code.sectionSize, mb);

  ZydisDecoder zydis;
  if (bits64) {
    ZydisDecoderInit(&zydis, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
  } else {
    ZydisDecoderInit(&zydis, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  }
  const Decoder decoder(bits64 ? DecodeMode::Bits64 : DecodeMode::Bits32, code.imageBase, code.imageSize);
  DecodedInstruction out;
  std::size_t textBytes = 0;
  SweepDecoder(decoder, code.bytes, out, textBytes);  // warm-up: the result strings reach their size
  Figure bare, visible, full, ours, sweep;
  SweepInput sweep_input;
  sweep_input.code = ByteView(code.bytes);
  sweep_input.basePosition = 0x1000;
  sweep_input.sweepLength = static_cast<std::int64_t>(code.bytes.size());
  sweep_input.mode = bits64 ? DecodeMode::Bits64 : DecodeMode::Bits32;
  sweep_input.imageBase = code.imageBase;
  sweep_input.imageSize = code.imageSize;
  sweep_input.wideAddresses = bits64;
  std::size_t subroutines = 0;
  std::size_t allocations = 0;
  for (int round = 0; round < 5; ++round) {
    bare.Run([&] { return SweepZydis(zydis, code.bytes, ZydisWork::Instruction); });
    visible.Run([&] { return SweepZydis(zydis, code.bytes, ZydisWork::VisibleOperands); });
    full.Run([&] { return SweepZydis(zydis, code.bytes, ZydisWork::Full); });
    const std::size_t before = g_allocations.load();
    ours.Run([&] { return SweepDecoder(decoder, code.bytes, out, textBytes); });
    allocations += g_allocations.load() - before;
    sweep.Run([&] {
      const SweepResult result = SweepCode(sweep_input);
      subroutines = result.subroutines.size();
      return ours.instructions;
    });
  }

  Row("Zydis: instruction only", mb, bare);
  Row("Zydis: instruction + visible operands", mb, visible);
  Row("Zydis: DecodeFull (all operands)", mb, full);
  Row("Decoder: decoding + both texts", mb, ours);
  Row("sweep: texts, rules, listings", mb, sweep);
  const double objdump = TimeObjdump(code.bytes, bits64);
  if (objdump > 0) {
    // objdump's instruction count is taken as ours: their boundaries agree (decoder_tests).
    Row("objdump -D (process, output dropped)", mb, Figure{objdump, ours.instructions});
  } else {
    std::printf("  objdump could not be run\n");
  }
  std::printf("  full sweep (%zu subroutines) relative to Zydis: %.2f of instruction only, %.2f of DecodeFull",
              subroutines, bare.seconds / sweep.seconds, full.seconds / sweep.seconds);
  if (objdump > 0) std::printf("; %.1f times objdump's", objdump / sweep.seconds);
  std::printf("\n");
  std::printf("  speed of Decoder relative to Zydis: %.2f of instruction only, %.2f of instruction + visible "
              "operands, %.2f of DecodeFull",
              bare.seconds / ours.seconds, visible.seconds / ours.seconds, full.seconds / ours.seconds);
  if (objdump > 0) std::printf("; %.1f times objdump's", objdump / ours.seconds);
  std::printf("\n  texts written per sweep: %.1f MB; allocations in five Decoder sweeps: %zu\n\n",
              static_cast<double>(textBytes) / 1e6, allocations);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string file32 = argc > 1 ? argv[1] : TESSOR_BENCH_CODE32;
  const std::string file64 = argc > 2 ? argv[2] : TESSOR_BENCH_CODE64;
  const std::size_t mib = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 16;
  if (file32.empty() && file64.empty()) {
    std::fprintf(stderr, "usage: decoder_bench FILE32 [FILE64 [MiB]]\n");
    return 2;
  }
  if (!file32.empty()) Bench(file32, false, mib << 20);
  if (!file64.empty()) Bench(file64, true, mib << 20);
  return 0;
}
