// Interim decoder over Zydis's own formatter, used only until the project's printer is
// in place: lengths are exact, texts are approximate.
#include <Zydis/Zydis.h>

#include <cctype>
#include <cstdio>

#include "disasm/decoder.h"

namespace tessor {

Decoder::Decoder(DecodeMode, std::uint64_t, std::uint64_t) {}
Decoder::~Decoder() = default;

void Decoder::Decode(std::span<const std::uint8_t> bytes, std::uint32_t position, DecodedInstruction& out) const {
  ZydisDecoder decoder;
  ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  ZydisDecodedInstruction insn;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
  out.dump.clear();
  out.command.clear();
  if (bytes.empty() || !ZYAN_SUCCESS(ZydisDecoderDecodeFull(&decoder, bytes.data(), bytes.size(), &insn, ops))) {
    out.length = 1;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", bytes.empty() ? 0 : bytes[0]);
    out.dump = hex;
    out.command = "???";
    return;
  }
  out.length = insn.length;
  for (unsigned i = 0; i < insn.length; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
    out.dump += hex;
  }
  ZydisFormatter formatter;
  ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL);
  char buffer[256];
  ZydisFormatterFormatInstruction(&formatter, &insn, ops, insn.operand_count_visible, buffer, sizeof buffer, position, nullptr);
  for (char* p = buffer; *p; ++p) out.command += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
}

}  // namespace tessor
