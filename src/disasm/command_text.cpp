// The command texts, written from Zydis's decoded instruction and operands.
//
// Form                          | Written as
// ------------------------------+---------------------------------------------------------------
// layout                        | mnemonic, one blank, operands joined by "," without blanks: MOV EAX,ECX
// letters                       | uppercase throughout, hexadecimal digits included
// near / far return             | RETN, RETN 8, RETF, RETF 8
// no-operation                  | NOP for every form (90, 66 90, 0F 1F /0 and the other hint NOPs):
//                               | their operands are not written
// conditional jumps             | JO JNO JB JNB JE JNZ JBE JA JS JNS JPE JPO JL JGE JLE JG,
//                               | JCXZ JECXZ JRCXZ, LOOP LOOPE LOOPNE
// SETcc, CMOVcc                 | the same condition names: SETE AL, SETNZ CL, CMOVA EAX,ECX
// direct call / jump target     | exactly 8 digits, a position value: CALL 00001000, JNZ 00001234
// 8-bit branch distance         | SHORT before the target: JLE SHORT 00001020, JMP SHORT ..., LOOP SHORT ...
// far pointer                   | JMP FAR 001B:00401000 (4 + 8 digits)
// indirect far branch           | JMP FAR FWORD PTR DS:[EAX]
// memory operand                | size word, " PTR ", segment, ":", brackets: DWORD PTR SS:[EBP-8]
// size words                    | BYTE WORD DWORD FWORD QWORD TBYTE XMMWORD YMMWORD ZMMWORD; an operand of
//                               | any other size (FXSAVE's 512 bytes, FNSTENV's 28) has none: FXSAVE DS:[EAX]
// LEA                           | keeps the operand size: LEA EAX,DWORD PTR SS:[EBP-4]
// segment                       | the one used: SS for an EBP/ESP (RBP/RSP) base, DS otherwise, ES for
//                               | string destinations; an override prefix wins: DWORD PTR FS:[0]
// inside the brackets           | base, "+" index, "*" scale only when above 1, then the displacement;
//                               | numbers here have no leading "0" before a letter: SS:[EBP-C]
// displacement with a base      | signed: [EBP-8], [EAX+10]; a zero one is left out: [EBP]
// displacement, index only      | unsigned: [ECX*4+402000]
// absolute                      | the address without leading zeros: DS:[402000], DS:[A0B000]
// RIP-relative (64-bit)         | the absolute address imageBase + position + length + displacement:
//                               | QWORD PTR DS:[140002000], LEA RCX,QWORD PTR DS:[140003000]
// numbers                       | hexadecimal without leading zeros, one "0" before a leading letter:
//                               | 0A, 0FF, 0FFFFFFF0
// immediate                     | unsigned at the operation's width: AND ESP,0FFFFFFF0, MOV AL,0FF
// negative 8-bit immediate that | signed, for ADD ADC SUB SBB CMP PUSH IMUL only: ADD ESP,-8,
// the operation widens          | PUSH -1, CMP EAX,-0C (AND, OR, XOR and TEST keep the unsigned form)
// immediate inside the image    | a 4- or 8-byte immediate in [imageBase, imageBase + imageSize) is an
//                               | address: at least 8 digits: PUSH 00405000, MOV EAX,00405000
// registers                     | EAX, AX, AL, R8D, R8W, R8B, SPL, XMM0, MM0, CR0, DR7, FS, ST(0)..ST(7)
// x87                           | FLD QWORD PTR SS:[EBP-8], FADDP ST(1),ST(0), FXCH ST(1), FLD1
// string instructions           | the mnemonic without its size letter, with its implicit memory operands:
//                               | MOVS DWORD PTR ES:[EDI],DWORD PTR DS:[ESI], STOS BYTE PTR ES:[EDI],
//                               | LODS, SCAS, CMPS BYTE PTR DS:[ESI],BYTE PTR ES:[EDI], INS BYTE PTR
//                               | ES:[EDI],DX, OUTS DX,DWORD PTR DS:[ESI]
// XLAT                          | XLAT, without operands
// prefixes                      | LOCK, REP, REPE, REPNE, and only where they take effect: REP MOVS ...,
//                               | REPNE SCAS ..., LOCK CMPXCHG ...; F3 before RET is not written (RETN),
//                               | nor are BND, XACQUIRE, XRELEASE, NOTRACK and branch hints
// AVX-512 decorations           | masking, zeroing, broadcast and rounding are not written
// undecodable bytes             | ??? (written by the decoder)
#include "disasm/command_text.h"

#include <Zydis/Mnemonic.h>
#include <Zydis/Register.h>

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace tessor::command_text {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Mnemonics whose classic name is not Zydis's own name upper-cased.
struct MnemonicName {
  ZydisMnemonic mnemonic;
  const char* name;
};
constexpr MnemonicName kMnemonicNames[] = {
    {ZYDIS_MNEMONIC_RET, "RETN"},      {ZYDIS_MNEMONIC_JZ, "JE"},         {ZYDIS_MNEMONIC_JNBE, "JA"},
    {ZYDIS_MNEMONIC_JNL, "JGE"},       {ZYDIS_MNEMONIC_JNLE, "JG"},       {ZYDIS_MNEMONIC_JP, "JPE"},
    {ZYDIS_MNEMONIC_JNP, "JPO"},       {ZYDIS_MNEMONIC_SETZ, "SETE"},     {ZYDIS_MNEMONIC_SETNBE, "SETA"},
    {ZYDIS_MNEMONIC_SETNL, "SETGE"},   {ZYDIS_MNEMONIC_SETNLE, "SETG"},   {ZYDIS_MNEMONIC_SETP, "SETPE"},
    {ZYDIS_MNEMONIC_SETNP, "SETPO"},   {ZYDIS_MNEMONIC_CMOVZ, "CMOVE"},   {ZYDIS_MNEMONIC_CMOVNBE, "CMOVA"},
    {ZYDIS_MNEMONIC_CMOVNL, "CMOVGE"}, {ZYDIS_MNEMONIC_CMOVNLE, "CMOVG"}, {ZYDIS_MNEMONIC_CMOVP, "CMOVPE"},
    {ZYDIS_MNEMONIC_CMOVNP, "CMOVPO"},
};

// Registers whose classic name is not Zydis's own name upper-cased.
struct RegisterName {
  ZydisRegister reg;
  const char* name;
};
constexpr RegisterName kRegisterNames[] = {
    {ZYDIS_REGISTER_ST0, "ST(0)"}, {ZYDIS_REGISTER_ST1, "ST(1)"}, {ZYDIS_REGISTER_ST2, "ST(2)"},
    {ZYDIS_REGISTER_ST3, "ST(3)"}, {ZYDIS_REGISTER_ST4, "ST(4)"}, {ZYDIS_REGISTER_ST5, "ST(5)"},
    {ZYDIS_REGISTER_ST6, "ST(6)"}, {ZYDIS_REGISTER_ST7, "ST(7)"},
};

// Size words of memory operands, by size in bits; other sizes have none.
struct SizeWord {
  std::uint16_t bits;
  const char* word;
};
constexpr SizeWord kSizeWords[] = {
    {8, "BYTE PTR "},    {16, "WORD PTR "},     {32, "DWORD PTR "},    {48, "FWORD PTR "},   {64, "QWORD PTR "},
    {80, "TBYTE PTR "},  {128, "XMMWORD PTR "}, {256, "YMMWORD PTR "}, {512, "ZMMWORD PTR "},
};

// Operations whose negative sign-extended 8-bit immediate is written with a minus sign.
constexpr ZydisMnemonic kSignedImmediateMnemonics[] = {
    ZYDIS_MNEMONIC_ADD, ZYDIS_MNEMONIC_ADC, ZYDIS_MNEMONIC_SUB,  ZYDIS_MNEMONIC_SBB,
    ZYDIS_MNEMONIC_CMP, ZYDIS_MNEMONIC_PUSH, ZYDIS_MNEMONIC_IMUL,
};

// The operand forms that are written straight from the instruction's raw fields (ModRM,
// SIB, REX, displacement, immediate), without Zydis's operand decoding: the common
// legacy-encoded instructions of compiled code. Every other instruction is written from
// Zydis's decoded operands; both ways give the same text.
enum Operand : std::uint8_t {
  kEnd,
  kEb,   // ModRM r/m, 8-bit
  kEv,   // ModRM r/m, the operation's width
  kEw,   // ModRM r/m, 16-bit
  kEd,   // ModRM r/m, 32-bit (a 16-bit register under an operand-size prefix): MOVSXD's source
  kGb,   // ModRM reg, 8-bit
  kGv,   // ModRM reg, the operation's width
  kM,    // ModRM memory, an address computation (LEA)
  kAL,   // AL
  kAX,   // AX, EAX or RAX by the operation's width
  kCL,   // CL
  kOne,  // the implicit 1 of the shifts
  kZb,   // the register in the opcode's low bits, 8-bit
  kZv,   // the register in the opcode's low bits, the operation's width
  kI,    // the immediate
  kJ,    // the immediate as a branch distance
};

struct OperandForm {
  std::uint8_t map;     // 0: one-byte opcodes, 1: 0F opcodes
  std::uint8_t first;   // the opcodes first..last
  std::uint8_t last;
  std::uint8_t regs;    // the ModRM reg fields it holds for: bit n for /n (0xFF for all)
  bool only64;          // the form holds in 64-bit code only
  Operand operands[3];  // in the written order
};

constexpr std::uint8_t kAll = 0xFF;
constexpr std::uint8_t kNot6 = 0xBF;     // ROL ROR RCL RCR SHL SHR SAR, not the /6 alias
constexpr std::uint8_t kOnly0 = 0x01;
constexpr std::uint8_t kGroup3 = 0xFC;   // NOT NEG MUL IMUL DIV IDIV (TEST /0 has its own form; /1 is an alias)
constexpr std::uint8_t kGroup4 = 0x03;   // INC DEC
constexpr std::uint8_t kGroup5 = 0x57;   // INC DEC CALL JMP PUSH; not the far CALL and JMP

constexpr OperandForm kOperandForms[] = {
    {0, 0x50, 0x5F, kAll, false, {kZv}},              // PUSH r, POP r
    {0, 0x63, 0x63, kAll, true, {kGv, kEd}},          // MOVSXD
    {0, 0x68, 0x68, kAll, false, {kI}},               // PUSH imm
    {0, 0x69, 0x69, kAll, false, {kGv, kEv, kI}},     // IMUL r,r/m,imm
    {0, 0x6A, 0x6A, kAll, false, {kI}},               // PUSH imm8
    {0, 0x6B, 0x6B, kAll, false, {kGv, kEv, kI}},     // IMUL r,r/m,imm8
    {0, 0x70, 0x7F, kAll, false, {kJ}},               // Jcc short
    {0, 0x80, 0x80, kAll, false, {kEb, kI}},          // arithmetic r/m8,imm8
    {0, 0x81, 0x81, kAll, false, {kEv, kI}},          // arithmetic r/m,imm
    {0, 0x83, 0x83, kAll, false, {kEv, kI}},          // arithmetic r/m,imm8
    {0, 0x84, 0x84, kAll, false, {kEb, kGb}},         // TEST
    {0, 0x85, 0x85, kAll, false, {kEv, kGv}},
    {0, 0x86, 0x86, kAll, false, {kEb, kGb}},         // XCHG
    {0, 0x87, 0x87, kAll, false, {kEv, kGv}},
    {0, 0x88, 0x88, kAll, false, {kEb, kGb}},         // MOV
    {0, 0x89, 0x89, kAll, false, {kEv, kGv}},
    {0, 0x8A, 0x8A, kAll, false, {kGb, kEb}},
    {0, 0x8B, 0x8B, kAll, false, {kGv, kEv}},
    {0, 0x8D, 0x8D, kAll, false, {kGv, kM}},          // LEA
    {0, 0xA8, 0xA8, kAll, false, {kAL, kI}},          // TEST AL,imm8
    {0, 0xA9, 0xA9, kAll, false, {kAX, kI}},          // TEST eAX,imm
    {0, 0xB0, 0xB7, kAll, false, {kZb, kI}},          // MOV r8,imm8
    {0, 0xB8, 0xBF, kAll, false, {kZv, kI}},          // MOV r,imm
    {0, 0xC0, 0xC0, kNot6, false, {kEb, kI}},         // shifts and rotations by imm8
    {0, 0xC1, 0xC1, kNot6, false, {kEv, kI}},
    {0, 0xC2, 0xC2, kAll, false, {kI}},               // RETN imm16
    {0, 0xC6, 0xC6, kOnly0, false, {kEb, kI}},        // MOV r/m8,imm8
    {0, 0xC7, 0xC7, kOnly0, false, {kEv, kI}},        // MOV r/m,imm
    {0, 0xD0, 0xD0, kNot6, false, {kEb, kOne}},       // shifts and rotations by 1
    {0, 0xD1, 0xD1, kNot6, false, {kEv, kOne}},
    {0, 0xD2, 0xD2, kNot6, false, {kEb, kCL}},        // shifts and rotations by CL
    {0, 0xD3, 0xD3, kNot6, false, {kEv, kCL}},
    {0, 0xE8, 0xE9, kAll, false, {kJ}},               // CALL, JMP
    {0, 0xEB, 0xEB, kAll, false, {kJ}},               // JMP short
    {0, 0xF6, 0xF6, kOnly0, false, {kEb, kI}},        // TEST r/m8,imm8
    {0, 0xF6, 0xF6, kGroup3, false, {kEb}},           // NOT NEG MUL IMUL DIV IDIV r/m8
    {0, 0xF7, 0xF7, kOnly0, false, {kEv, kI}},
    {0, 0xF7, 0xF7, kGroup3, false, {kEv}},
    {0, 0xFE, 0xFE, kGroup4, false, {kEb}},           // INC, DEC r/m8
    {0, 0xFF, 0xFF, kGroup5, false, {kEv}},           // INC, DEC, CALL, JMP, PUSH r/m
    {1, 0x40, 0x4F, kAll, false, {kGv, kEv}},         // CMOVcc
    {1, 0x80, 0x8F, kAll, false, {kJ}},               // Jcc near
    {1, 0x90, 0x9F, kAll, false, {kEb}},              // SETcc
    {1, 0xAF, 0xAF, kAll, false, {kGv, kEv}},         // IMUL r,r/m
    {1, 0xB6, 0xB6, kAll, false, {kGv, kEb}},         // MOVZX
    {1, 0xB7, 0xB7, kAll, false, {kGv, kEw}},
    {1, 0xBE, 0xBE, kAll, false, {kGv, kEb}},         // MOVSX
    {1, 0xBF, 0xBF, kAll, false, {kGv, kEw}},
};

// The eight arithmetic operations of opcodes 00 to 3D, by the opcode's low three bits:
// r/m8,r8; r/m,r; r8,r/m8; r,r/m; AL,imm8; eAX,imm.
constexpr Operand kArithmeticForms[6][3] = {
    {kEb, kGb}, {kEv, kGv}, {kGb, kEb}, {kGv, kEv}, {kAL, kI}, {kAX, kI},
};

// A name padded to 32 bytes, so that the usual short one is copied in one 16-byte move.
struct Name {
  char text[31] = {};
  std::uint8_t size = 0;
};

void SetName(Name& name, const char* text) {
  std::size_t n = 0;
  for (; text[n] != '\0' && n < sizeof name.text; ++n) {
    const char c = text[n];
    name.text[n] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  name.size = static_cast<std::uint8_t>(n);
}

// Appends characters. The caller's buffer (kCapacity bytes) holds the longest text and
// 16 bytes more, since names are copied 16 bytes at a time.
struct Writer {
  char* p;

  void Put(char c) { *p++ = c; }
  void Put(std::string_view s) {
    std::memcpy(p, s.data(), s.size());
    p += s.size();
  }
  void Put(const Name& name) {
    std::memcpy(p, name.text, 16);
    if (name.size > 16) std::memcpy(p + 16, name.text + 16, name.size - 16u);
    p += name.size;
  }
  // At least minDigits digits, more when the value needs them.
  void Hex(std::uint64_t value, int minDigits = 1) {
    int digits = value == 0 ? 1 : (67 - std::countl_zero(value)) / 4;
    if (digits < minDigits) digits = minDigits;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) *p++ = kDigits[(value >> shift) & 0xF];
  }
  // A number outside brackets: a "0" goes before a leading letter.
  void Number(std::uint64_t value) {
    const int digits = value == 0 ? 1 : (67 - std::countl_zero(value)) / 4;
    if (((value >> (4 * (digits - 1))) & 0xF) >= 10) *p++ = '0';
    Hex(value, digits);
  }
};

std::uint64_t Truncate(std::uint64_t value, unsigned bits) {
  return bits >= 64 || bits == 0 ? value : value & ((std::uint64_t{1} << bits) - 1);
}

}  // namespace

// The names, size words and operand forms, built once from the tables above and Zydis's
// own names.
struct PrinterTables {
  Name mnemonics[ZYDIS_MNEMONIC_MAX_VALUE + 1];
  Name registers[ZYDIS_REGISTER_MAX_VALUE + 1];
  Name sizeWords[512 / 8 + 1];  // by size in bytes
  bool signedImmediate[ZYDIS_MNEMONIC_MAX_VALUE + 1] = {};
  // The operand forms by opcode map, opcode and ModRM reg field; an empty form (its
  // first operand kEnd) is written from Zydis's operands. [1] is for 64-bit code.
  struct Form {
    Operand operands[3] = {kEnd, kEnd, kEnd};
  };
  Form forms[2][2 * 256 * 8];

  PrinterTables() {
    for (int bits64 = 0; bits64 < 2; ++bits64) {
      for (int op = 0; op < 0x40; ++op) {
        if ((op & 7) >= 6) continue;
        for (int reg = 0; reg < 8; ++reg) {
          auto& form = forms[bits64][op * 8 + reg];
          for (int k = 0; k < 3; ++k) form.operands[k] = kArithmeticForms[op & 7][k];
        }
      }
      for (const auto& f : kOperandForms) {
        if (f.only64 && bits64 == 0) continue;
        for (int op = f.first; op <= f.last; ++op) {
          for (int reg = 0; reg < 8; ++reg) {
            if ((f.regs & (1u << reg)) == 0) continue;
            auto& form = forms[bits64][(f.map * 256 + op) * 8 + reg];
            for (int k = 0; k < 3; ++k) form.operands[k] = f.operands[k];
          }
        }
      }
    }
    for (int m = 0; m <= ZYDIS_MNEMONIC_MAX_VALUE; ++m) {
      const char* text = ZydisMnemonicGetString(static_cast<ZydisMnemonic>(m));
      SetName(mnemonics[m], text != nullptr ? text : "???");
    }
    for (const auto& entry : kMnemonicNames) SetName(mnemonics[entry.mnemonic], entry.name);
    for (int r = 0; r <= ZYDIS_REGISTER_MAX_VALUE; ++r) {
      const char* text = ZydisRegisterGetString(static_cast<ZydisRegister>(r));
      SetName(registers[r], text != nullptr ? text : "");
    }
    for (const auto& entry : kRegisterNames) SetName(registers[entry.reg], entry.name);
    for (const auto& entry : kSizeWords) SetName(sizeWords[entry.bits / 8], entry.word);
    for (const auto m : kSignedImmediateMnemonics) signedImmediate[m] = true;
  }
};

namespace {

class CommandWriter {
 public:
  CommandWriter(const ZydisDecodedInstruction& instruction, const PrinterTables& names, std::uint64_t imageBase,
                std::uint64_t imageSize, std::uint32_t position, char* out)
      : ins_(instruction), names_(names), imageBase_(imageBase), imageSize_(imageSize), position_(position), w_{out} {}

  char* End() const { return w_.p; }

  char* Write(const ZydisDecodedOperand* ops, std::size_t count) {
    if (ins_.mnemonic == ZYDIS_MNEMONIC_NOP) {
      w_.Put("NOP");
      return w_.p;
    }
    WritePrefixes();
    if (NeedsHiddenOperands(ins_)) {
      WriteStringInstruction(ops, count);
      return w_.p;
    }
    if (ins_.mnemonic == ZYDIS_MNEMONIC_RET && ins_.meta.branch_type == ZYDIS_BRANCH_TYPE_FAR) {
      w_.Put("RETF");
    } else {
      w_.Put(names_.mnemonics[ins_.mnemonic]);
    }
    char separator = ' ';
    unsigned rawImmediate = 0;  // the next of the instruction's encoded immediates
    for (std::size_t i = 0; i < count; ++i) {
      const ZydisDecodedOperand& op = ops[i];
      if (op.visibility == ZYDIS_OPERAND_VISIBILITY_HIDDEN) continue;
      w_.Put(separator);
      separator = ',';
      switch (op.type) {
        case ZYDIS_OPERAND_TYPE_REGISTER:
          if (op.encoding == ZYDIS_OPERAND_ENCODING_IS4) ++rawImmediate;
          w_.Put(names_.registers[op.reg.value]);
          break;
        case ZYDIS_OPERAND_TYPE_MEMORY:
          if (ins_.meta.branch_type == ZYDIS_BRANCH_TYPE_FAR) w_.Put("FAR ");
          WriteMemory(op);
          break;
        case ZYDIS_OPERAND_TYPE_POINTER:
          w_.Put("FAR ");
          w_.Hex(op.ptr.segment, 4);
          w_.Put(':');
          w_.Hex(op.ptr.offset, 8);
          break;
        case ZYDIS_OPERAND_TYPE_IMMEDIATE: {
          // The implicit 1 of the shifts has no bytes of its own.
          unsigned encodedBits = 0;
          if (op.encoding != ZYDIS_OPERAND_ENCODING_NONE && rawImmediate < 2) {
            encodedBits = ins_.raw.imm[rawImmediate++].size;
          }
          WriteImmediate(op, encodedBits);
          break;
        }
        default:
          break;
      }
    }
    return w_.p;
  }

 private:
  void WritePrefixes() {
    const ZydisInstructionAttributes a = ins_.attributes;
    if ((a & (ZYDIS_ATTRIB_HAS_LOCK | ZYDIS_ATTRIB_HAS_REP | ZYDIS_ATTRIB_HAS_REPE | ZYDIS_ATTRIB_HAS_REPNE)) == 0) return;
    if (a & ZYDIS_ATTRIB_HAS_LOCK) w_.Put("LOCK ");
    if (a & ZYDIS_ATTRIB_HAS_REP) w_.Put("REP ");
    if (a & ZYDIS_ATTRIB_HAS_REPE) w_.Put("REPE ");
    if (a & ZYDIS_ATTRIB_HAS_REPNE) w_.Put("REPNE ");
  }

  // MOVS, CMPS, STOS, LODS, SCAS, INS, OUTS: the name without its size letter, then the
  // memory operands (and the port register of INS and OUTS) in the instruction's order.
  void WriteStringInstruction(const ZydisDecodedOperand* ops, std::size_t count) {
    Name name = names_.mnemonics[ins_.mnemonic];
    if (name.size > 1) --name.size;
    w_.Put(name);
    char separator = ' ';
    for (std::size_t i = 0; i < count; ++i) {
      const ZydisDecodedOperand& op = ops[i];
      const bool port = op.type == ZYDIS_OPERAND_TYPE_REGISTER && op.reg.value == ZYDIS_REGISTER_DX &&
                        ins_.meta.category == ZYDIS_CATEGORY_IOSTRINGOP;
      if (op.type != ZYDIS_OPERAND_TYPE_MEMORY && !port) continue;
      w_.Put(separator);
      separator = ',';
      if (port) {
        w_.Put(names_.registers[op.reg.value]);
      } else {
        WriteMemory(op);
      }
    }
  }

  void WriteMemory(const ZydisDecodedOperand& op) {
    // An address computation (LEA) has the size of its destination.
    const unsigned bits = op.mem.type == ZYDIS_MEMOP_TYPE_AGEN ? ins_.operand_width : op.size;
    WriteMemory(bits, op.mem.segment, op.mem.base, op.mem.index, op.mem.scale, op.mem.disp.value);
  }

  void WriteMemory(unsigned bits, ZydisRegister segment, ZydisRegister base, ZydisRegister index, unsigned scale,
                   std::int64_t displacement) {
    if (bits % 8 == 0 && bits <= 512) w_.Put(names_.sizeWords[bits / 8]);
    if (segment != ZYDIS_REGISTER_NONE) {
      w_.Put(names_.registers[segment]);
      w_.Put(':');
    }
    w_.Put('[');
    const unsigned addressBits = ins_.address_width;
    const auto disp = static_cast<std::uint64_t>(displacement);
    if (base == ZYDIS_REGISTER_RIP || base == ZYDIS_REGISTER_EIP) {
      const std::uint64_t next = std::uint64_t{position_} + ins_.length + disp;
      w_.Hex(imageBase_ + Truncate(next, addressBits));
      w_.Put(']');
      return;
    }
    bool any = false;
    if (base != ZYDIS_REGISTER_NONE) {
      w_.Put(names_.registers[base]);
      any = true;
    }
    if (index != ZYDIS_REGISTER_NONE) {
      if (any) w_.Put('+');
      w_.Put(names_.registers[index]);
      if (scale > 1) {
        w_.Put('*');
        w_.Put(static_cast<char>('0' + scale));
      }
      any = true;
    }
    if (!any) {
      w_.Hex(Truncate(disp, addressBits));
    } else if (displacement != 0) {
      if (base != ZYDIS_REGISTER_NONE && displacement < 0) {
        w_.Put('-');
        w_.Hex(Truncate(0 - disp, addressBits));
      } else {
        w_.Put('+');
        w_.Hex(Truncate(disp, addressBits));
      }
    }
    w_.Put(']');
  }

  void WriteImmediate(const ZydisDecodedOperand& op, unsigned encodedBits) {
    WriteImmediate(op.imm.is_relative, op.imm.is_signed, op.size, op.imm.value.u, encodedBits);
  }

  // `bits` is the immediate's own size; a signed one is widened to the operation's width.
  void WriteImmediate(bool relative, bool isSigned, unsigned bits, std::uint64_t raw, unsigned encodedBits) {
    if (relative) {
      if (ins_.meta.branch_type == ZYDIS_BRANCH_TYPE_SHORT) w_.Put("SHORT ");
      const std::uint32_t target = position_ + ins_.length + static_cast<std::uint32_t>(raw);
      w_.Hex(target, 8);
      return;
    }
    unsigned width = bits;
    if (isSigned && ins_.operand_width > width) width = ins_.operand_width;
    const std::uint64_t value = Truncate(raw, width);
    if (encodedBits >= 32 && value >= imageBase_ && value - imageBase_ < imageSize_) {
      w_.Hex(value, 8);
      return;
    }
    const auto signedValue = static_cast<std::int64_t>(raw);
    if (encodedBits == 8 && isSigned && width > 8 && signedValue < 0 && names_.signedImmediate[ins_.mnemonic]) {
      w_.Put('-');
      w_.Number(0 - raw);
      return;
    }
    w_.Number(value);
  }

 public:
  // The forms of kOperandForms, from the raw fields alone. False (nothing written)
  // for an instruction of any other form.
  bool WriteFromRawFields(bool bits64) {
    if (ins_.encoding != ZYDIS_INSTRUCTION_ENCODING_LEGACY || ins_.address_width != (bits64 ? 64 : 32) ||
        (ins_.attributes & ZYDIS_ATTRIB_HAS_SEGMENT) != 0) {
      return false;
    }
    unsigned map = 0;
    if (ins_.opcode_map == ZYDIS_OPCODE_MAP_0F) {
      map = 1;
    } else if (ins_.opcode_map != ZYDIS_OPCODE_MAP_DEFAULT) {
      return false;
    }
    const auto& form = names_.forms[bits64 ? 1 : 0][(map * 256 + ins_.opcode) * 8 + ins_.raw.modrm.reg];
    if (form.operands[0] == kEnd) return false;
    WritePrefixes();
    w_.Put(names_.mnemonics[ins_.mnemonic]);
    char separator = ' ';
    for (const Operand operand : form.operands) {
      if (operand == kEnd) break;
      w_.Put(separator);
      separator = ',';
      WriteRawOperand(operand);
    }
    return true;
  }

 private:
  ZydisRegister Register(unsigned bits, unsigned id) const {
    switch (bits) {
      case 8:
        // Without a REX prefix, 4 to 7 are AH, CH, DH and BH; with one, SPL to DIL.
        if (id >= 4 && (id >= 8 || (ins_.attributes & ZYDIS_ATTRIB_HAS_REX) != 0)) id += 4;
        return static_cast<ZydisRegister>(ZYDIS_REGISTER_AL + id);
      case 16:
        return static_cast<ZydisRegister>(ZYDIS_REGISTER_AX + id);
      case 32:
        return static_cast<ZydisRegister>(ZYDIS_REGISTER_EAX + id);
      default:
        return static_cast<ZydisRegister>(ZYDIS_REGISTER_RAX + id);
    }
  }

  void WriteRawOperand(Operand operand) {
    const auto& raw = ins_.raw;
    const unsigned width = ins_.operand_width;
    switch (operand) {
      case kEb:
        return WriteModRmOperand(8, false);
      case kEv:
        return WriteModRmOperand(width, false);
      case kEw:
        return WriteModRmOperand(16, false);
      case kEd:  // under an operand-size prefix, a 16-bit register but still a 32-bit memory operand
        return WriteModRmOperand(width == 16 && raw.modrm.mod == 3 ? 16 : 32, false);
      case kM:
        return WriteModRmOperand(width, true);
      case kGb:
        return w_.Put(names_.registers[Register(8, raw.modrm.reg | (raw.rex.R << 3))]);
      case kGv:
        return w_.Put(names_.registers[Register(width, raw.modrm.reg | (raw.rex.R << 3))]);
      case kAL:
        return w_.Put(names_.registers[ZYDIS_REGISTER_AL]);
      case kAX:
        return w_.Put(names_.registers[Register(width, 0)]);
      case kCL:
        return w_.Put(names_.registers[ZYDIS_REGISTER_CL]);
      case kOne:
        return w_.Put('1');
      case kZb:
        return w_.Put(names_.registers[Register(8, (ins_.opcode & 7) | (raw.rex.B << 3))]);
      case kZv:
        return w_.Put(names_.registers[Register(width, (ins_.opcode & 7) | (raw.rex.B << 3))]);
      case kI:
      case kJ:
        return WriteImmediate(operand == kJ, raw.imm[0].is_signed, raw.imm[0].size, raw.imm[0].value.u,
                              raw.imm[0].size);
      case kEnd:
        return;
    }
  }

  // The ModRM r/m operand: a register, or a memory operand of `bits`.
  void WriteModRmOperand(unsigned bits, bool addressOnly) {
    const auto& raw = ins_.raw;
    if (raw.modrm.mod == 3) {
      w_.Put(names_.registers[Register(addressOnly ? ins_.operand_width : bits, raw.modrm.rm | (raw.rex.B << 3))]);
      return;
    }
    const unsigned addressBits = ins_.address_width;
    ZydisRegister base = ZYDIS_REGISTER_NONE;
    ZydisRegister index = ZYDIS_REGISTER_NONE;
    unsigned scale = 0;
    unsigned baseId = 0;
    if (raw.modrm.rm == 4) {
      baseId = raw.sib.base | (raw.rex.B << 3);
      const unsigned indexId = raw.sib.index | (raw.rex.X << 3);
      if (indexId != 4) {
        index = Register(addressBits, indexId);
        scale = 1u << raw.sib.scale;
      }
      if (!(raw.modrm.mod == 0 && raw.sib.base == 5)) base = Register(addressBits, baseId);
    } else if (raw.modrm.mod == 0 && raw.modrm.rm == 5) {
      if (addressBits == 64) base = ZYDIS_REGISTER_RIP;
    } else {
      baseId = raw.modrm.rm | (raw.rex.B << 3);
      base = Register(addressBits, baseId);
    }
    const bool stack = base != ZYDIS_REGISTER_NONE && base != ZYDIS_REGISTER_RIP && (baseId == 4 || baseId == 5);
    WriteMemory(bits, stack ? ZYDIS_REGISTER_SS : ZYDIS_REGISTER_DS, base, index, scale, raw.disp.value);
  }

  const ZydisDecodedInstruction& ins_;
  const PrinterTables& names_;
  std::uint64_t imageBase_;
  std::uint64_t imageSize_;
  std::uint32_t position_;
  Writer w_;
};

const PrinterTables& Names() {
  static const PrinterTables tables;
  return tables;
}

}  // namespace

Printer::Printer(std::uint64_t imageBase, std::uint64_t imageSize)
    : names_(&Names()), imageBase_(imageBase), imageSize_(imageSize) {}

std::size_t Printer::Write(const ZydisDecodedInstruction& instruction, const ZydisDecodedOperand* operands,
                           std::size_t operandCount, std::uint32_t position, char* out) const {
  CommandWriter writer(instruction, *names_, imageBase_, imageSize_, position, out);
  return static_cast<std::size_t>(writer.Write(operands, operandCount) - out);
}

std::size_t Printer::WriteFromRawFields(const ZydisDecodedInstruction& instruction, std::uint32_t position,
                                        char* out) const {
  CommandWriter writer(instruction, *names_, imageBase_, imageSize_, position, out);
  if (!writer.WriteFromRawFields(instruction.machine_mode == ZYDIS_MACHINE_MODE_LONG_64)) return 0;
  return static_cast<std::size_t>(writer.End() - out);
}

}  // namespace tessor::command_text
