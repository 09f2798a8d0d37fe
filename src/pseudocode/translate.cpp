#include "pseudocode/translate.h"

#include "pseudocode/conditions.h"
#include "pseudocode/rewrite_tables.h"
#include "pseudocode/statements.h"

namespace tessor {

namespace {

enum class NamePath { Indexed, InOrder };

std::string ApplyNames(const NameSubstitutions& names, std::string_view text, NamePath path) {
  return path == NamePath::Indexed ? names.Apply(text) : names.ApplyInOrder(text);
}

std::string Translate(std::string_view listing, const TranslationContext& context, NamePath path) {
  std::string text(listing);                                   // 1
  text = ApplyRewrites(text, kOperandRewrites);                // 2
  text = ApplyNames(context.importNames, text, path);          // 3
  text = ApplyRewrites(text, kMemoryOperandRewrites);          // 4
  StringOperandSource source;                                  // 5
  source.imageBase = context.imageBase;
  source.sections = context.sections;
  if (context.file) source.file = context.file->View();
  Statements statements = AssembleStatements(text, source);    // 6
  statements.body = ApplyNames(context.subroutineNames, statements.body, path);  // 7
  text = JoinStatements(statements);                           // 8
  text = BuildComparisonBlocks(text);                          // 9
  text = BuildCountedLoops(text);                              // 10
  text = BuildTestConditions(text);                            // 11
  text = DropDeletedLines(text);                               // 12
  text = RewriteRemainingComparisons(text);                    // 13
  text = RewriteArithmeticAndWords(text);                      // 14
  return ApplyRewrites(text, kFinalRewrites);                  // 15
}

}  // namespace

TranslationContext MakeTranslationContext(std::span<const ImportRow> imports,
                                          std::span<const SubroutineEntry> subroutines, std::uint64_t imageBase,
                                          std::vector<SectionEntry> sections, SharedFileBytes file) {
  TranslationContext context;
  context.importNames = ImportNameSubstitutions(imports);
  context.subroutineNames = SubroutineNameSubstitutions(subroutines);
  context.imageBase = imageBase;
  context.sections = std::move(sections);
  context.file = std::move(file);
  return context;
}

std::string TranslateListing(std::string_view listing, const TranslationContext& context) {
  return Translate(listing, context, NamePath::Indexed);
}

std::string TranslateListingReference(std::string_view listing, const TranslationContext& context) {
  return Translate(listing, context, NamePath::InOrder);
}

}  // namespace tessor
