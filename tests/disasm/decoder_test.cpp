#include "disasm/decoder.h"

#include <gtest/gtest.h>

#include "disasm/command_text.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tessor {
namespace {

using Code = std::vector<std::uint8_t>;

constexpr std::uint32_t kPosition = 0x1000;
constexpr std::uint64_t kImageBase32 = 0x400000;
constexpr std::uint64_t kImageBase64 = 0x140000000;
constexpr std::uint64_t kImageSize = 0x10000;

constexpr DecodeMode k32 = DecodeMode::Bits32;
constexpr DecodeMode k64 = DecodeMode::Bits64;

struct Case {
  DecodeMode mode;
  Code bytes;
  std::uint32_t length;
  std::string dump;
  std::string command;
};

DecodedInstruction DecodeAt(DecodeMode mode, std::span<const std::uint8_t> bytes, std::uint32_t position = kPosition) {
  const Decoder decoder(mode, mode == k64 ? kImageBase64 : kImageBase32, kImageSize);
  DecodedInstruction out;
  decoder.Decode(bytes, position, out);
  return out;
}

void ExpectCases(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    const DecodedInstruction out = DecodeAt(c.mode, c.bytes);
    EXPECT_EQ(out.length, c.length) << c.command;
    EXPECT_EQ(out.dump, c.dump) << c.command;
    EXPECT_EQ(out.command, c.command) << c.dump;
  }
}

// Every instruction at position 00001000 of a 32-bit image at 400000 (64 KiB), or of
// a 64-bit image at 140000000.

TEST(Decoder, DumpTextsTheIdiomRulesLookFor) {
  ExpectCases({
      {k32, {0x55, 0x8B, 0xEC}, 1, "55", "PUSH EBP"},
      {k32, {0x8B, 0xEC}, 2, "8BEC", "MOV EBP,ESP"},
      {k32, {0x8B, 0xE5}, 2, "8BE5", "MOV ESP,EBP"},
      {k32, {0x5D}, 1, "5D", "POP EBP"},
      {k32, {0xC3}, 1, "C3", "RETN"},
      {k32, {0x33, 0xC9}, 2, "33C9", "XOR ECX,ECX"},
      {k32, {0x8D, 0x45, 0xFC}, 3, "8D45 FC", "LEA EAX,DWORD PTR SS:[EBP-4]"},
      {k32, {0x8D, 0x45, 0xF8}, 3, "8D45 F8", "LEA EAX,DWORD PTR SS:[EBP-8]"},
      {k32, {0x83, 0xC4, 0x08}, 3, "83C4 08", "ADD ESP,8"},
      {k32, {0x83, 0x7D, 0xFC, 0x00}, 4, "837D FC 00", "CMP DWORD PTR SS:[EBP-4],0"},
      {k32, {0x83, 0xF9, 0x05}, 3, "83F9 05", "CMP ECX,5"},
      {k32, {0x8B, 0x5D, 0xF8}, 3, "8B5D F8", "MOV EBX,DWORD PTR SS:[EBP-8]"},
      {k32, {0xB8, 0x01, 0x00, 0x00, 0x00}, 5, "B8 01000000", "MOV EAX,1"},
      {k32, {0xEB, 0x05}, 2, "EB 05", "JMP SHORT 00001007"},
      {k32, {0xE9, 0x23, 0x01, 0x00, 0x00}, 5, "E9 23010000", "JMP 00001128"},
      {k32, {0xE9, 0xF0, 0xFF, 0xFF, 0xFF}, 5, "E9 F0FFFFFF", "JMP 00000FF5"},
      {k32, {0x0F, 0x85, 0x10, 0x00, 0x00, 0x00}, 6, "0F85 10000000", "JNZ 00001016"},
      {k32, {0x0F, 0x8F, 0x00, 0x00, 0x00, 0x00}, 6, "0F8F 00000000", "JG 00001006"},
      {k32, {0xFF, 0x25, 0x00, 0x20, 0x40, 0x00}, 6, "FF25 00204000", "JMP DWORD PTR DS:[402000]"},
      {k32, {0xC7, 0x45, 0xFC, 0x00, 0x00, 0x00, 0x00}, 7, "C745 FC 00000000", "MOV DWORD PTR SS:[EBP-4],0"},
      {k32, {0x90}, 1, "90", "NOP"},
      {k32, {0xCC}, 1, "CC", "INT3"},
  });
}

TEST(Decoder, BranchTargetsArePositionValuesOfEightDigits) {
  ExpectCases({
      {k32, {0xE8, 0xFB, 0xFF, 0xFF, 0xFF}, 5, "E8 FBFFFFFF", "CALL 00001000"},
      {k32, {0x7E, 0x1E}, 2, "7E 1E", "JLE SHORT 00001020"},
      {k32, {0x70, 0x00}, 2, "70 00", "JO SHORT 00001002"},
      {k32, {0x71, 0x00}, 2, "71 00", "JNO SHORT 00001002"},
      {k32, {0x72, 0x00}, 2, "72 00", "JB SHORT 00001002"},
      {k32, {0x73, 0x00}, 2, "73 00", "JNB SHORT 00001002"},
      {k32, {0x74, 0x00}, 2, "74 00", "JE SHORT 00001002"},
      {k32, {0x75, 0x00}, 2, "75 00", "JNZ SHORT 00001002"},
      {k32, {0x76, 0x00}, 2, "76 00", "JBE SHORT 00001002"},
      {k32, {0x77, 0x00}, 2, "77 00", "JA SHORT 00001002"},
      {k32, {0x78, 0x00}, 2, "78 00", "JS SHORT 00001002"},
      {k32, {0x79, 0x00}, 2, "79 00", "JNS SHORT 00001002"},
      {k32, {0x7A, 0x00}, 2, "7A 00", "JPE SHORT 00001002"},
      {k32, {0x7B, 0x00}, 2, "7B 00", "JPO SHORT 00001002"},
      {k32, {0x7C, 0x00}, 2, "7C 00", "JL SHORT 00001002"},
      {k32, {0x7D, 0x00}, 2, "7D 00", "JGE SHORT 00001002"},
      {k32, {0x7F, 0x00}, 2, "7F 00", "JG SHORT 00001002"},
      {k32, {0xE3, 0x00}, 2, "E3 00", "JECXZ SHORT 00001002"},
      {k32, {0xE2, 0xFE}, 2, "E2 FE", "LOOP SHORT 00001000"},
      {k32, {0x0F, 0x82, 0x00, 0x01, 0x00, 0x00}, 6, "0F82 00010000", "JB 00001106"},
      {k32, {0xEA, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00}, 7, "EA 00104000 1B00", "JMP FAR 001B:00401000"},
      {k32, {0xFF, 0x15, 0x00, 0x20, 0x40, 0x00}, 6, "FF15 00204000", "CALL DWORD PTR DS:[402000]"},
      {k32, {0xFF, 0xD0}, 2, "FFD0", "CALL EAX"},
      {k32, {0xC2, 0x08, 0x00}, 3, "C2 0800", "RETN 8"},
      {k32, {0xCB}, 1, "CB", "RETF"},
      {k32, {0xF3, 0xC3}, 2, "F3C3", "RETN"},
  });
}

TEST(Decoder, ConditionNamesOfSetAndConditionalMove) {
  ExpectCases({
      {k32, {0x0F, 0x94, 0xC0}, 3, "0F94C0", "SETE AL"},
      {k32, {0x0F, 0x95, 0xC1}, 3, "0F95C1", "SETNZ CL"},
      {k32, {0x0F, 0x9F, 0xC1}, 3, "0F9FC1", "SETG CL"},
      {k32, {0x0F, 0x9A, 0xC0}, 3, "0F9AC0", "SETPE AL"},
      {k32, {0x0F, 0x47, 0xC1}, 3, "0F47C1", "CMOVA EAX,ECX"},
      {k32, {0x0F, 0x4C, 0xC1}, 3, "0F4CC1", "CMOVL EAX,ECX"},
      {k32, {0x0F, 0x4D, 0xC1}, 3, "0F4DC1", "CMOVGE EAX,ECX"},
  });
}

TEST(Decoder, MemoryOperandsWithSizeSegmentAndBrackets) {
  ExpectCases({
      {k32, {0x8B, 0x45, 0x08}, 3, "8B45 08", "MOV EAX,DWORD PTR SS:[EBP+8]"},
      {k32, {0x8B, 0x4D, 0xF4}, 3, "8B4D F4", "MOV ECX,DWORD PTR SS:[EBP-C]"},
      {k32, {0x8B, 0x45, 0x00}, 3, "8B45 00", "MOV EAX,DWORD PTR SS:[EBP]"},
      {k32, {0x8B, 0x04, 0x24}, 3, "8B0424", "MOV EAX,DWORD PTR SS:[ESP]"},
      {k32, {0x8B, 0x44, 0x24, 0x10}, 4, "8B4424 10", "MOV EAX,DWORD PTR SS:[ESP+10]"},
      {k32, {0x8B, 0x01}, 2, "8B01", "MOV EAX,DWORD PTR DS:[ECX]"},
      {k32, {0x8A, 0x44, 0x88, 0x10}, 4, "8A4488 10", "MOV AL,BYTE PTR DS:[EAX+ECX*4+10]"},
      {k32, {0x8B, 0x04, 0x08}, 3, "8B0408", "MOV EAX,DWORD PTR DS:[EAX+ECX]"},
      {k32, {0x8B, 0x04, 0x85, 0x00, 0x10, 0x40, 0x00}, 7, "8B0485 00104000", "MOV EAX,DWORD PTR DS:[EAX*4+401000]"},
      {k32, {0xA1, 0x00, 0x20, 0x40, 0x00}, 5, "A1 00204000", "MOV EAX,DWORD PTR DS:[402000]"},
      {k32, {0x8B, 0x0D, 0x00, 0xB0, 0xA0, 0x00}, 6, "8B0D 00B0A000", "MOV ECX,DWORD PTR DS:[A0B000]"},
      {k32, {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00}, 6, "64A1 00000000", "MOV EAX,DWORD PTR FS:[0]"},
      {k32, {0x3E, 0x8B, 0x45, 0x08}, 4, "3E8B45 08", "MOV EAX,DWORD PTR DS:[EBP+8]"},
      {k32, {0x36, 0x8B, 0x00}, 3, "368B00", "MOV EAX,DWORD PTR SS:[EAX]"},
      {k32, {0x66, 0x8B, 0x45, 0x08}, 4, "668B45 08", "MOV AX,WORD PTR SS:[EBP+8]"},
      {k32, {0x0F, 0xB6, 0x45, 0x08}, 4, "0FB645 08", "MOVZX EAX,BYTE PTR SS:[EBP+8]"},
      {k32, {0x80, 0x7D, 0xFF, 0x00}, 4, "807D FF 00", "CMP BYTE PTR SS:[EBP-1],0"},
      {k32, {0x8D, 0x0C, 0x85, 0x00, 0x00, 0x00, 0x00}, 7, "8D0C85 00000000", "LEA ECX,DWORD PTR DS:[EAX*4]"},
      {k32, {0x66, 0x8D, 0x45, 0xFC}, 4, "668D45 FC", "LEA AX,WORD PTR SS:[EBP-4]"},
      {k32, {0x0F, 0x28, 0x45, 0xE8}, 4, "0F2845 E8", "MOVAPS XMM0,XMMWORD PTR SS:[EBP-18]"},
      {k32, {0xFF, 0x2D, 0x00, 0x20, 0x40, 0x00}, 6, "FF2D 00204000", "JMP FAR FWORD PTR DS:[402000]"},
      {k32, {0x0F, 0xAE, 0x00}, 3, "0FAE00", "FXSAVE DS:[EAX]"},
      // The opcode byte that ends a 3DNow! instruction follows the displacement.
      {k32, {0x0F, 0x0F, 0x45, 0xF8, 0xB4}, 5, "0F0F45 F8 B4", "PFMUL MM0,QWORD PTR SS:[EBP-8]"},
      {k32, {0xD7}, 1, "D7", "XLAT"},
  });
}

TEST(Decoder, NumbersAndAddressesInImmediates) {
  ExpectCases({
      {k32, {0x6A, 0x0A}, 2, "6A 0A", "PUSH 0A"},
      {k32, {0x68, 0xFF, 0x00, 0x00, 0x00}, 5, "68 FF000000", "PUSH 0FF"},
      {k32, {0x68, 0x00, 0x50, 0x40, 0x00}, 5, "68 00504000", "PUSH 00405000"},
      {k32, {0xB8, 0x00, 0x50, 0x40, 0x00}, 5, "B8 00504000", "MOV EAX,00405000"},
      {k32, {0xC7, 0x45, 0xFC, 0x00, 0x10, 0x40, 0x00}, 7, "C745 FC 00104000", "MOV DWORD PTR SS:[EBP-4],00401000"},
      {k32, {0xB8, 0xFF, 0xFF, 0x40, 0x00}, 5, "B8 FFFF4000", "MOV EAX,0040FFFF"},
      {k32, {0xB8, 0x00, 0x00, 0x41, 0x00}, 5, "B8 00004100", "MOV EAX,410000"},
      {k32, {0xB8, 0xFF, 0xFF, 0x3F, 0x00}, 5, "B8 FFFF3F00", "MOV EAX,3FFFFF"},
      {k32, {0x3D, 0x00, 0x10, 0x40, 0x00}, 5, "3D 00104000", "CMP EAX,00401000"},
      {k32, {0x6A, 0xFF}, 2, "6A FF", "PUSH -1"},
      {k32, {0x83, 0xC4, 0xF8}, 3, "83C4 F8", "ADD ESP,-8"},
      {k32, {0x83, 0xEC, 0xF4}, 3, "83EC F4", "SUB ESP,-0C"},
      {k32, {0x83, 0xE4, 0xF0}, 3, "83E4 F0", "AND ESP,0FFFFFFF0"},
      {k32, {0x6B, 0xC0, 0xF8}, 3, "6BC0 F8", "IMUL EAX,EAX,-8"},
      {k32, {0x69, 0xC0, 0x10, 0x27, 0x00, 0x00}, 6, "69C0 10270000", "IMUL EAX,EAX,2710"},
      {k32, {0x05, 0x5E, 0x00, 0xFF, 0xFF}, 5, "05 5E00FFFF", "ADD EAX,0FFFF005E"},
      {k32, {0x04, 0xFF}, 2, "04 FF", "ADD AL,0FF"},
      {k32, {0x66, 0x3D, 0x00, 0x01}, 4, "663D 0001", "CMP AX,100"},
      {k32, {0xD1, 0xE0}, 2, "D1E0", "SHL EAX,1"},
      {k32, {0xC1, 0xE0, 0x1F}, 3, "C1E0 1F", "SHL EAX,1F"},
      {k32, {0xC8, 0x08, 0x00, 0x00}, 4, "C8 0800 00", "ENTER 8,0"},
      {k32, {0xCD, 0x2E}, 2, "CD 2E", "INT 2E"},
  });
}

TEST(Decoder, NoOperationForms) {
  ExpectCases({
      {k32, {0x90}, 1, "90", "NOP"},
      {k32, {0x66, 0x90}, 2, "6690", "NOP"},
      {k32, {0x0F, 0x1F, 0x44, 0x00, 0x00}, 5, "0F1F4400 00", "NOP"},
      {k32, {0x8D, 0x76, 0x00}, 3, "8D76 00", "LEA ESI,DWORD PTR DS:[ESI]"},
      {k32, {0xF3, 0x90}, 2, "F390", "PAUSE"},
  });
}

TEST(Decoder, StringInstructionsWithOperandsAndRepeatPrefixes) {
  ExpectCases({
      {k32, {0xF3, 0xA5}, 2, "F3A5", "REP MOVS DWORD PTR ES:[EDI],DWORD PTR DS:[ESI]"},
      {k32, {0xA4}, 1, "A4", "MOVS BYTE PTR ES:[EDI],BYTE PTR DS:[ESI]"},
      {k32, {0x66, 0xA5}, 2, "66A5", "MOVS WORD PTR ES:[EDI],WORD PTR DS:[ESI]"},
      {k32, {0x2E, 0xA5}, 2, "2EA5", "MOVS DWORD PTR ES:[EDI],DWORD PTR CS:[ESI]"},
      {k32, {0xF3, 0xAB}, 2, "F3AB", "REP STOS DWORD PTR ES:[EDI]"},
      {k32, {0xF2, 0xAE}, 2, "F2AE", "REPNE SCAS BYTE PTR ES:[EDI]"},
      {k32, {0xF3, 0xA6}, 2, "F3A6", "REPE CMPS BYTE PTR DS:[ESI],BYTE PTR ES:[EDI]"},
      {k32, {0xAC}, 1, "AC", "LODS BYTE PTR DS:[ESI]"},
      {k32, {0x6C}, 1, "6C", "INS BYTE PTR ES:[EDI],DX"},
      {k32, {0x6F}, 1, "6F", "OUTS DX,DWORD PTR DS:[ESI]"},
      {k32, {0xF0, 0x0F, 0xB1, 0x0A}, 4, "F00FB10A", "LOCK CMPXCHG DWORD PTR DS:[EDX],ECX"},
  });
}

TEST(Decoder, FloatingPointRegistersAndOperands) {
  ExpectCases({
      {k32, {0xD9, 0xC9}, 2, "D9C9", "FXCH ST(1)"},
      {k32, {0xDE, 0xC1}, 2, "DEC1", "FADDP ST(1),ST(0)"},
      {k32, {0xD9, 0xC0}, 2, "D9C0", "FLD ST(0)"},
      {k32, {0xDD, 0x45, 0xF8}, 3, "DD45 F8", "FLD QWORD PTR SS:[EBP-8]"},
      {k32, {0xD9, 0x45, 0xFC}, 3, "D945 FC", "FLD DWORD PTR SS:[EBP-4]"},
      {k32, {0xDB, 0x2D, 0x00, 0x10, 0x40, 0x00}, 6, "DB2D 00104000", "FLD TBYTE PTR DS:[401000]"},
      {k32, {0xDF, 0xE0}, 2, "DFE0", "FNSTSW AX"},
      {k32, {0x9B, 0xDF, 0xE0}, 1, "9B", "FWAIT"},
      {k32, {0xD9, 0xEE}, 2, "D9EE", "FLDZ"},
  });
}

TEST(Decoder, SixtyFourBitRegistersAndRipRelativeAddresses) {
  ExpectCases({
      {k64, {0x48, 0x8B, 0x05, 0xF9, 0x0F, 0x00, 0x00}, 7, "488B05 F90F0000", "MOV RAX,QWORD PTR DS:[140002000]"},
      {k64, {0xFF, 0x25, 0xFA, 0x0F, 0x00, 0x00}, 6, "FF25 FA0F0000", "JMP QWORD PTR DS:[140002000]"},
      {k64, {0xFF, 0x15, 0xFA, 0x0F, 0x00, 0x00}, 6, "FF15 FA0F0000", "CALL QWORD PTR DS:[140002000]"},
      {k64, {0x48, 0x8D, 0x0D, 0xF9, 0x0F, 0x00, 0x00}, 7, "488D0D F90F0000", "LEA RCX,QWORD PTR DS:[140002000]"},
      {k64, {0x8B, 0x05, 0xFA, 0xEF, 0xFF, 0xFF}, 6, "8B05 FAEFFFFF", "MOV EAX,DWORD PTR DS:[140000000]"},
      {k64, {0x8D, 0x08}, 2, "8D08", "LEA ECX,DWORD PTR DS:[RAX]"},
      {k64, {0x48, 0x89, 0xE5}, 3, "4889E5", "MOV RBP,RSP"},
      {k64, {0x48, 0x83, 0xEC, 0x28}, 4, "4883EC 28", "SUB RSP,28"},
      {k64, {0x48, 0x83, 0xC4, 0xF8}, 4, "4883C4 F8", "ADD RSP,-8"},
      {k64, {0x4C, 0x8B, 0x45, 0xF0}, 4, "4C8B45 F0", "MOV R8,QWORD PTR SS:[RBP-10]"},
      {k64, {0x48, 0x89, 0x4C, 0x24, 0x08}, 5, "48894C24 08", "MOV QWORD PTR SS:[RSP+8],RCX"},
      {k64, {0x41, 0x8B, 0x44, 0x24, 0xF8}, 5, "418B4424 F8", "MOV EAX,DWORD PTR DS:[R12-8]"},
      {k64, {0x44, 0x88, 0xC0}, 3, "4488C0", "MOV AL,R8B"},
      {k64, {0x40, 0x88, 0xF0}, 3, "4088F0", "MOV AL,SIL"},
      {k64, {0x48, 0x63, 0xD0}, 3, "4863D0", "MOVSXD RDX,EAX"},
      {k64, {0x48, 0xB8, 0x00, 0x10, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}, 10, "48B8 0010004001000000", "MOV RAX,140001000"},
      {k64, {0x65, 0x48, 0x8B, 0x04, 0x25, 0x30, 0x00, 0x00, 0x00}, 9, "65488B0425 30000000", "MOV RAX,QWORD PTR GS:[30]"},
      {k64, {0xE8, 0xFB, 0xFF, 0xFF, 0xFF}, 5, "E8 FBFFFFFF", "CALL 00001000"},
      {k64, {0xEB, 0xFE}, 2, "EB FE", "JMP SHORT 00001000"},
      {k64, {0xE3, 0x00}, 2, "E3 00", "JRCXZ SHORT 00001002"},
      {k64, {0xF3, 0x48, 0xAB}, 3, "F348AB", "REP STOS QWORD PTR ES:[RDI]"},
      {k64, {0x66, 0x2E, 0x0F, 0x1F, 0x84, 0x00, 0x00, 0x00, 0x00, 0x00}, 10, "662E0F1F8400 00000000", "NOP"},
      {k64, {0xC3}, 1, "C3", "RETN"},
  });
}

TEST(Decoder, UndecodableBytesAreOneByteInstructions) {
  ExpectCases({
      {k32, {0xFF, 0xFF}, 1, "FF", "???"},
      {k32, {0x0F, 0x04}, 1, "0F", "???"},
      {k32, {0xF0, 0x0B, 0xEB}, 1, "F0", "???"},
      {k64, {0x06}, 1, "06", "???"},
      {k64, {0x60}, 1, "60", "???"},
  });
}

TEST(Decoder, NeverReadsPastTheBytesItIsGiven) {
  // The whole call is in memory, but only its first bytes are given: the decoder must
  // not complete the instruction from the bytes after them.
  const Code call = {0xE8, 0x00, 0x00, 0x00, 0x00};
  for (std::size_t given = 1; given < call.size(); ++given) {
    const auto out = DecodeAt(k32, std::span(call).first(given));
    EXPECT_EQ(out.length, 1u) << given;
    EXPECT_EQ(out.dump, "E8") << given;
    EXPECT_EQ(out.command, "???") << given;
  }
  const Code lea = {0x8D, 0x45, 0xFC};
  const auto cut = DecodeAt(k32, std::span(lea).first(2));
  EXPECT_EQ(cut.length, 1u);
  EXPECT_EQ(cut.command, "???");
  const auto whole = DecodeAt(k32, std::span(call));
  EXPECT_EQ(whole.command, "CALL 00001005");

  const auto empty = DecodeAt(k32, {});
  EXPECT_EQ(empty.length, 1u);
  EXPECT_EQ(empty.dump, "");
  EXPECT_EQ(empty.command, "???");
}

TEST(Decoder, ReusedResultHoldsOnlyTheLatestInstruction) {
  const Decoder decoder(k32, kImageBase32, kImageSize);
  const Code longOne = {0xF3, 0xA5};
  const Code shortOne = {0xC3};
  const Code bad = {0xFF, 0xFF};
  DecodedInstruction out;
  decoder.Decode(longOne, kPosition, out);
  decoder.Decode(shortOne, kPosition, out);
  EXPECT_EQ(out.length, 1u);
  EXPECT_EQ(out.dump, "C3");
  EXPECT_EQ(out.command, "RETN");
  decoder.Decode(longOne, kPosition, out);
  decoder.Decode(bad, kPosition, out);
  EXPECT_EQ(out.dump, "FF");
  EXPECT_EQ(out.command, "???");
}

TEST(Decoder, TargetsFollowThePositionGiven) {
  const Code jle = {0x7E, 0x1E};
  EXPECT_EQ(DecodeAt(k32, jle, 0x0040A000).command, "JLE SHORT 0040A020");
  const Code ripLoad = {0x48, 0x8B, 0x05, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(DecodeAt(k64, ripLoad, 0x2000).command, "MOV RAX,QWORD PTR DS:[140002007]");
}

// The instruction boundaries of a linear sweep agree with objdump's over the code
// sections of real MinGW-built files. The build writes, for each file in the list
// TESSOR_DECODER_FIXTURES, the section's bytes (NAME.text) and objdump's instruction
// addresses (NAME.boundaries: a line "start ADDRESS", then one address a line).
//
// Known differences, accepted here:
// - FWAIT (9B) before an x87 instruction: objdump writes the pair as one instruction
//   (9B DF E0 "fstsw"); Zydis decodes two, FWAIT and FNSTSW.
// - Undecodable bytes: ours is always one byte ("???"), while objdump's "(bad)" may
//   span the bytes it read, and objdump decodes some encodings that Zydis rejects (a
//   LOCK prefix on an instruction that does not take one: F0 0B EB). Both occur in data
//   inside the code section (exception tables); the two sweeps meet again within a few
//   bytes.
struct Boundaries {
  std::uint64_t start = 0;
  std::vector<std::uint64_t> offsets;
};

Boundaries ReadBoundaries(const std::string& path) {
  Boundaries b;
  std::ifstream in(path);
  std::string word;
  in >> word >> std::hex >> b.start;
  std::uint64_t address = 0;
  while (in >> address) b.offsets.push_back(address - b.start);
  return b;
}

Code ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Code(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Fixture {
  std::string name;
  DecodeMode mode;
};

std::vector<Fixture> ListFixtures() {
  std::vector<Fixture> list;
  std::istringstream in(TESSOR_DECODER_FIXTURES);
  std::string name;
  int bits = 0;
  while (in >> name >> bits) list.push_back({name, bits == 64 ? k64 : k32});
  return list;
}

TEST(Decoder, InstructionBoundariesAgreeWithObjdump) {
  const auto fixtures = ListFixtures();
  if (fixtures.empty()) GTEST_SKIP() << "no MinGW toolchain at build time";
  constexpr std::uint64_t kResync = 64;
  for (const auto& fixture : fixtures) {
    SCOPED_TRACE(fixture.name);
    const std::string base = std::string(TESSOR_DECODER_FIXTURE_DIR) + "/" + fixture.name;
    const Code code = ReadBytes(base + ".text");
    const Boundaries theirs = ReadBoundaries(base + ".boundaries");
    ASSERT_GT(code.size(), 1000u);
    ASSERT_GT(theirs.offsets.size(), code.size() / 16);

    const Decoder decoder(fixture.mode, fixture.mode == k64 ? kImageBase64 : kImageBase32, 0);
    std::vector<std::uint64_t> ours;
    std::vector<DecodedInstruction> decoded;
    DecodedInstruction out;
    for (std::uint64_t k = 0; k < code.size(); k += out.length) {
      decoder.Decode(std::span(code).subspan(k), static_cast<std::uint32_t>(0x1000 + k), out);
      ours.push_back(k);
      decoded.push_back(out);
    }

    // Walk both lists; wherever they part, the last boundary they share must begin one
    // of the known differences.
    std::size_t i = 0, j = 0, disagreements = 0;
    while (i < ours.size() && j < theirs.offsets.size()) {
      if (ours[i] == theirs.offsets[j]) {
        ++i;
        ++j;
        continue;
      }
      const std::size_t shared = i - 1;  // both lists start at offset 0
      const DecodedInstruction& at = decoded[shared];
      const std::uint64_t from = ours[shared];
      bool known = false;
      if (at.dump == "9B" && i < ours.size() && ours[i] == from + 1 && i + 1 < ours.size() &&
          theirs.offsets[j] == ours[i + 1]) {
        known = true;  // FWAIT joined with the next instruction
        ++i;
      } else if (at.command == "???") {
        std::size_t ii = i, jj = j;
        while (ii < ours.size() && jj < theirs.offsets.size() && ours[ii] != theirs.offsets[jj] &&
               std::max(ours[ii], theirs.offsets[jj]) <= from + kResync) {
          if (ours[ii] < theirs.offsets[jj]) {
            ++ii;
          } else {
            ++jj;
          }
        }
        known = ii == ours.size() || jj == theirs.offsets.size() || ours[ii] == theirs.offsets[jj];
        i = ii;
        j = jj;
      }
      if (!known) {
        ADD_FAILURE() << "boundaries part after offset " << std::hex << from << ": " << at.dump << " "
                      << at.command;
        if (++disagreements > 10) break;
        // Carry on from the next boundary both lists share.
        while (i < ours.size() && j < theirs.offsets.size() && ours[i] != theirs.offsets[j]) {
          if (ours[i] < theirs.offsets[j]) {
            ++i;
          } else {
            ++j;
          }
        }
      }
    }
    EXPECT_EQ(i == ours.size(), j == theirs.offsets.size()) << "the sweeps end apart";
  }
}

// The printer writes the common instructions from their raw fields, without Zydis's
// operand decoding; every text it writes that way equals the text written from the
// decoded operands. Returns how many of the instructions were written from raw fields.
double ShareWrittenFromRawFields(const Code& code, DecodeMode mode) {
  const bool bits64 = mode == k64;
  ZydisDecoder zydis;
  ZydisDecoderInit(&zydis, bits64 ? ZYDIS_MACHINE_MODE_LONG_64 : ZYDIS_MACHINE_MODE_LEGACY_32,
                   bits64 ? ZYDIS_STACK_WIDTH_64 : ZYDIS_STACK_WIDTH_32);
  // An image that holds the code's own addresses, so that immediates become addresses too.
  const command_text::Printer printer(bits64 ? kImageBase64 : kImageBase32, 0x1000000);
  std::size_t fromRaw = 0, decoded = 0, differences = 0;
  for (std::size_t k = 0; k < code.size();) {
    ZydisDecoderContext context;
    ZydisDecodedInstruction ins;
    if (!ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&zydis, &context, code.data() + k, code.size() - k, &ins))) {
      ++k;
      continue;
    }
    ++decoded;
    const auto position = static_cast<std::uint32_t>(0x1000 + k);
    char raw[command_text::kCapacity];
    const std::size_t rawSize = printer.WriteFromRawFields(ins, position, raw);
    if (rawSize != 0) {
      ++fromRaw;
      ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
      EXPECT_TRUE(ZYAN_SUCCESS(ZydisDecoderDecodeOperands(&zydis, &context, &ins, ops, ins.operand_count_visible)));
      char full[command_text::kCapacity];
      const std::size_t fullSize = printer.Write(ins, ops, ins.operand_count_visible, position, full);
      if (std::string(raw, rawSize) != std::string(full, fullSize) && ++differences <= 10) {
        std::ostringstream bytes;
        for (unsigned i = 0; i < ins.length; ++i) bytes << std::hex << (code[k + i] >> 4) << (code[k + i] & 0xF);
        ADD_FAILURE() << bytes.str() << ": " << std::string(raw, rawSize) << " instead of "
                      << std::string(full, fullSize);
      }
    }
    k += ins.length;
  }
  EXPECT_EQ(differences, 0u);
  return decoded == 0 ? 0 : static_cast<double>(fromRaw) / static_cast<double>(decoded);
}

TEST(CommandText, RawFieldTextsEqualOperandTextsOnRealCode) {
  const auto fixtures = ListFixtures();
  if (fixtures.empty()) GTEST_SKIP() << "no MinGW toolchain at build time";
  for (const auto& fixture : fixtures) {
    SCOPED_TRACE(fixture.name);
    const Code code = ReadBytes(std::string(TESSOR_DECODER_FIXTURE_DIR) + "/" + fixture.name + ".text");
    EXPECT_GT(ShareWrittenFromRawFields(code, fixture.mode), 0.6);  // most compiled code is written so
  }
}

// Random bytes make every combination of prefixes, REX bits and addressing forms.
TEST(CommandText, RawFieldTextsEqualOperandTextsOnRandomBytes) {
  std::mt19937 random(20240611);
  Code code(1 << 20);
  for (auto& byte : code) byte = static_cast<std::uint8_t>(random());
  EXPECT_GT(ShareWrittenFromRawFields(code, k32), 0.3);
  EXPECT_GT(ShareWrittenFromRawFields(code, k64), 0.3);
}

}  // namespace
}  // namespace tessor
