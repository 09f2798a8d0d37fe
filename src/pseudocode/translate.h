// The translation of one subroutine listing into pseudo-code: fifteen stages in a fixed
// order, each working on the text the one before left.
//
//  1 copy              6 statement assembly      11 TEST conditions
//  2 operand rewrites  7 subroutine names        12 deleted lines
//  3 import names      8 assignment spacing      13 remaining comparisons and jumps
//  4 memory operands   9 comparison blocks       14 arithmetic and instruction words
//  5 file bytes       10 counted loops           15 final rewrites
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disasm/subroutines.h"
#include "pe/file_bytes.h"
#include "pe/imports.h"
#include "pe/sections.h"
#include "pseudocode/name_substitution.h"

namespace tessor {

// Everything a translation reads besides its listing, taken from one analysis and never
// changed afterwards, so any number of translations may read it at once.
struct TranslationContext {
  NameSubstitutions importNames;      // stage 3, from the import rows
  NameSubstitutions subroutineNames;  // stage 7, from the subroutine array
  std::uint64_t imageBase = 0;        // stage 6, with the section table and the file
  std::vector<SectionEntry> sections;
  SharedFileBytes file;               // the bytes the analysis read; null for none
};

// The context of an analysis: its import rows (columns 0 and 4 are read), its subroutine
// array (title, thunkLabel, address), image base, section table and file bytes.
TranslationContext MakeTranslationContext(std::span<const ImportRow> imports,
                                          std::span<const SubroutineEntry> subroutines, std::uint64_t imageBase,
                                          std::vector<SectionEntry> sections, SharedFileBytes file);

// The pseudo-code of a listing: a GBK text of lines, each ended by CR LF, beginning with
// the local declarations. An empty listing gives the empty text.
std::string TranslateListing(std::string_view listing, const TranslationContext& context);

// The same translation with stages 3 and 7 done literally, one replace-all per row over
// the whole text. It gives the same text as TranslateListing, far more slowly.
std::string TranslateListingReference(std::string_view listing, const TranslationContext& context);

}  // namespace tessor
