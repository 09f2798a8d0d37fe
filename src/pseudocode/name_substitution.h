// The name substitutions of the translation: one replace-all per import row over the
// working text (stage 3), and up to two per subroutine over the body text (stage 7).
//
// Each is an ordered list of rewrite rows, applied one after another to the whole
// text. `ApplyInOrder` is that literal definition. `Apply` gives the same text byte for
// byte but visits only the rows whose key can occur: a row changes the text only where
// its key occurs in the text as the earlier rows left it, and such an occurrence lies in
// the text as it stood at the start, inside a replacement that an earlier row inserted,
// or across the edge of one. `Apply` finds the first kind by scanning the text once and
// the other two by scanning again each piece of text that a row has changed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disasm/subroutines.h"
#include "pe/imports.h"

namespace tessor {

// One replace-all: every occurrence of `key`, in any letter case, becomes `replacement`.
struct NameRewrite {
  std::string key;
  std::string replacement;
};

class KeyIndex;

// An ordered list of rewrite rows with an index of their keys, built once and shared by
// every translation that uses it. Immutable; copies share the index.
class NameSubstitutions {
 public:
  NameSubstitutions();
  explicit NameSubstitutions(std::vector<NameRewrite> rows);

  const std::vector<NameRewrite>& rows() const { return rows_; }

  // Every row in order, each one replace-all over the whole text.
  std::string ApplyInOrder(std::string_view text) const;

  // The same text as ApplyInOrder, without visiting the rows whose key cannot occur.
  std::string Apply(std::string_view text) const;

 private:
  std::vector<NameRewrite> rows_;
  std::shared_ptr<const KeyIndex> index_;
};

// The rows of stage 3, one per import row in order: the key is "0" followed by
// IntToHex(HexTextToValue(column 0, "Thunk RAV")); the replacement is "删行", a line
// break, column 4 ("API 名称") followed by "()", a line break and "’".
NameSubstitutions ImportNameSubstitutions(std::span<const ImportRow> imports);

// The rows of stage 7, per subroutine in order: thunkLabel to title when thunkLabel is
// not empty, then address to title followed by "()".
NameSubstitutions SubroutineNameSubstitutions(std::span<const SubroutineEntry> subroutines);

}  // namespace tessor
