// The decoder: Zydis decodes, we write the dump text here and the command text in
// command_text.cpp. Each text is built in a buffer on the stack and copied once into
// the caller's string, whose capacity is reused from one instruction to the next.
//
// Dump text: the prefixes, the opcode, ModRM and SIB as one run of uppercase pairs,
// then a blank and the displacement bytes, then a blank and the bytes of each
// immediate, all in memory order: "8D45 FC", "C745 FC 00000000", "EA 00104000 1B00".
// Bytes after the last displacement or immediate (the opcode byte that ends a 3DNow!
// instruction) get a blank of their own.
#include "disasm/decoder.h"

#include <Zydis/Decoder.h>

#include <cstring>

#include "disasm/command_text.h"

namespace tessor {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// The two digits of every byte value.
struct HexPairs {
  char text[256][2];
  constexpr HexPairs() : text{} {
    for (int b = 0; b < 256; ++b) {
      text[b][0] = kDigits[b >> 4];
      text[b][1] = kDigits[b & 0xF];
    }
  }
};
constexpr HexPairs kHexPairs;

char* PutBytes(char* p, const std::uint8_t* bytes, unsigned from, unsigned to) {
  for (unsigned i = from; i < to; ++i, p += 2) std::memcpy(p, kHexPairs.text[bytes[i]], 2);
  return p;
}

// The dump text of a decoded instruction into `out` (room for 64); returns its length.
std::size_t WriteDump(const ZydisDecodedInstruction& ins, const std::uint8_t* bytes, char* out) {
  struct Field {
    unsigned offset;
    unsigned size;
  };
  Field fields[3];
  unsigned count = 0;
  if (ins.raw.disp.size != 0) fields[count++] = {ins.raw.disp.offset, ins.raw.disp.size / 8u};
  for (const auto& imm : ins.raw.imm) {
    if (imm.size != 0) fields[count++] = {imm.offset, imm.size / 8u};
  }
  char* p = out;
  unsigned at = count == 0 ? ins.length : fields[0].offset;
  p = PutBytes(p, bytes, 0, at);
  for (unsigned i = 0; i < count; ++i) {
    *p++ = ' ';
    p = PutBytes(p, bytes, fields[i].offset, fields[i].offset + fields[i].size);
    at = fields[i].offset + fields[i].size;
  }
  if (at < ins.length) {
    *p++ = ' ';
    p = PutBytes(p, bytes, at, ins.length);
  }
  return static_cast<std::size_t>(p - out);
}

void WriteUndecodable(std::span<const std::uint8_t> bytes, DecodedInstruction& out) {
  out.length = 1;
  if (bytes.empty()) {
    out.dump.clear();
  } else {
    out.dump.assign(kHexPairs.text[bytes[0]], 2);
  }
  out.command.assign("???", 3);
}

}  // namespace

struct Decoder::State {
  State(DecodeMode m, std::uint64_t imageBase, std::uint64_t imageSize) : mode(m), printer(imageBase, imageSize) {
    if (mode == DecodeMode::Bits64) {
      ZydisDecoderInit(&zydis, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
    } else {
      ZydisDecoderInit(&zydis, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
    }
  }

  ZydisDecoder zydis;
  DecodeMode mode;
  command_text::Printer printer;
};

Decoder::Decoder(DecodeMode mode, std::uint64_t imageBase, std::uint64_t imageSize)
    : state_(std::make_unique<State>(mode, imageBase, imageSize)) {}

Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

DecodeMode Decoder::mode() const { return state_->mode; }

void Decoder::Decode(std::span<const std::uint8_t> bytes, std::uint32_t position, DecodedInstruction& out) const {
  ZydisDecoderContext context;
  ZydisDecodedInstruction ins;
  if (bytes.empty() ||
      !ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&state_->zydis, &context, bytes.data(), bytes.size(), &ins))) {
    WriteUndecodable(bytes, out);
    return;
  }
  char command[command_text::kCapacity];
  // The common instructions are written from their raw fields; the others need their
  // operands decoded: the visible ones, or all for the string instructions. NOP is
  // written without its operands.
  std::size_t commandSize = state_->printer.WriteFromRawFields(ins, position, command);
  if (commandSize == 0) {
    ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
    std::uint8_t opCount = 0;
    if (ins.mnemonic != ZYDIS_MNEMONIC_NOP) {
      opCount = command_text::NeedsHiddenOperands(ins) ? ins.operand_count : ins.operand_count_visible;
    }
    if (opCount != 0 &&
        !ZYAN_SUCCESS(ZydisDecoderDecodeOperands(&state_->zydis, &context, &ins, ops, opCount))) {
      WriteUndecodable(bytes, out);
      return;
    }
    commandSize = state_->printer.Write(ins, ops, opCount, position, command);
  }
  out.length = ins.length;
  char dump[64];
  out.dump.assign(dump, WriteDump(ins, bytes.data(), dump));
  out.command.assign(command, commandSize);
}

}  // namespace tessor
