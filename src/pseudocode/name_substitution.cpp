#include "pseudocode/name_substitution.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <queue>
#include <utility>

#include "text/hex.h"
#include "text/text_ops.h"

namespace tessor {

// A trie of the keys with their ASCII letters upper-cased. A case-insensitive match of a
// key at a byte offset compares the upper-cased bytes, so every match that a replace-all
// can make (always at a byte offset, never more) is a path of the trie read from that
// offset. Each key node holds the rows of that key in ascending order.
class KeyIndex {
 public:
  static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

  explicit KeyIndex(const std::vector<NameRewrite>& rows) : rowNode_(rows.size(), kNone) {
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    for (std::uint32_t r = 0; r < rows.size(); ++r) {
      const std::string& key = rows[r].key;
      if (key.empty()) continue;  // a replace-all with an empty key leaves every text as it is
      if (key.find_first_of("\r\n") != std::string::npos) lineBreakInKey_ = true;
      std::string folded(key);
      for (char& c : folded) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
      keys.emplace_back(std::move(folded), r);
    }
    std::sort(keys.begin(), keys.end());
    Build(keys);
  }

  // True when a key can hold a line break; the text then cannot be cut into lines.
  bool lineBreakInKey() const { return lineBreakInKey_; }

  // Calls visit(node) for each key node whose key occurs at some byte offset of `piece`.
  template <class Visit>
  void ForEachKeyIn(std::string_view piece, Visit&& visit) const {
    const std::size_t n = piece.size();
    for (std::size_t p = 0; p < n; ++p) {
      std::uint32_t node = rootChild_[Upper(piece[p])];
      std::size_t q = p;
      while (node != kNone) {
        if (nodes_[node].rowCount != 0) visit(node);
        if (++q == n) break;
        node = Child(node, Upper(piece[q]));
      }
    }
  }

  // The first row of the node's key that comes after row `after` (-1: the first row).
  std::uint32_t NextRow(std::uint32_t node, std::int64_t after) const {
    const Node& k = nodes_[node];
    const auto first = rows_.begin() + k.firstRow;
    const auto last = first + k.rowCount;
    const auto it = std::upper_bound(first, last, after,
                                     [](std::int64_t a, std::uint32_t row) { return a < std::int64_t{row}; });
    return it == last ? kNone : *it;
  }

  std::uint32_t NodeOfRow(std::uint32_t row) const { return rowNode_[row]; }

 private:
  struct Node {
    std::uint32_t firstEdge = 0;
    std::uint32_t edgeCount = 0;
    std::uint32_t firstRow = 0;
    std::uint32_t rowCount = 0;
  };

  static unsigned char Upper(char c) { return AsciiUpper(static_cast<unsigned char>(c)); }

  std::uint32_t Child(std::uint32_t node, unsigned char label) const {
    const Node& k = nodes_[node];
    for (std::uint32_t e = k.firstEdge; e < k.firstEdge + k.edgeCount; ++e)
      if (edgeLabels_[e] == label) return edgeTargets_[e];
    return kNone;
  }

  // Builds the trie from the sorted keys: the keys of one node's range share its path, the
  // keys that end there come first, and the others are grouped by their next byte into
  // the node's children, which are stored side by side.
  void Build(const std::vector<std::pair<std::string, std::uint32_t>>& keys) {
    rootChild_.fill(kNone);
    struct Range {
      std::uint32_t node;
      std::size_t begin, end, depth;
    };
    nodes_.emplace_back();
    std::vector<Range> work{{0, 0, keys.size(), 0}};
    while (!work.empty()) {
      const Range range = work.back();
      work.pop_back();
      std::size_t i = range.begin;
      nodes_[range.node].firstRow = static_cast<std::uint32_t>(rows_.size());
      for (; i < range.end && keys[i].first.size() == range.depth; ++i) {
        rows_.push_back(keys[i].second);
        rowNode_[keys[i].second] = range.node;
      }
      nodes_[range.node].rowCount = static_cast<std::uint32_t>(rows_.size()) - nodes_[range.node].firstRow;
      nodes_[range.node].firstEdge = static_cast<std::uint32_t>(edgeLabels_.size());
      while (i < range.end) {
        const unsigned char label = static_cast<unsigned char>(keys[i].first[range.depth]);
        std::size_t j = i;
        while (j < range.end && static_cast<unsigned char>(keys[j].first[range.depth]) == label) ++j;
        const auto child = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        edgeLabels_.push_back(label);
        edgeTargets_.push_back(child);
        if (range.node == 0) rootChild_[label] = child;
        work.push_back({child, i, j, range.depth + 1});
        i = j;
      }
      nodes_[range.node].edgeCount =
          static_cast<std::uint32_t>(edgeLabels_.size()) - nodes_[range.node].firstEdge;
    }
  }

  std::vector<Node> nodes_;
  std::vector<unsigned char> edgeLabels_;
  std::vector<std::uint32_t> edgeTargets_;
  std::vector<std::uint32_t> rows_;     // the rows of every key node, node after node
  std::vector<std::uint32_t> rowNode_;  // the key node of each row, kNone for an empty key
  std::array<std::uint32_t, 256> rootChild_{};
  bool lineBreakInKey_ = false;
};

NameSubstitutions::NameSubstitutions() : NameSubstitutions(std::vector<NameRewrite>{}) {}

NameSubstitutions::NameSubstitutions(std::vector<NameRewrite> rows)
    : rows_(std::move(rows)), index_(std::make_shared<const KeyIndex>(rows_)) {}

std::string NameSubstitutions::ApplyInOrder(std::string_view text) const {
  std::string out(text);
  for (const NameRewrite& row : rows_) out = ReplaceAll(out, row.key, row.replacement);
  return out;
}

// Why the text may be cut into pieces, each ending just after a CR LF (the last piece
// at the end of the text), and every row applied to each piece on its own:
//  - A replace-all scans from the start and moves on by one character or past a match.
//    The byte after an LF that follows a CR is always a position of that scan when no
//    key holds a CR or an LF: the CR is a byte below 0x80, so whether it starts a
//    character or ends one, the LF after it starts a one-byte character; no match can
//    cover the LF; so the scan reaches the LF and steps to the next byte.
//  - No match crosses that point, since it would hold the LF.
//  - From that point on, the scan of the whole text and the scan of the piece alone
//    take the same steps: every piece but the last ends with an LF, which is never a
//    lead byte, so no character is cut at the piece's end.
//  - A piece keeps its final CR LF whatever a row does to it, since no key can match
//    those bytes; so the cuts stay valid after every row.
// Which rows are visited for a piece: each row whose key occurs in the piece at the time
// the row comes (the others leave the piece as it is). The index reports the keys that
// occur in a piece when the piece is first scanned and again each time a row has changed
// it; a key K found there is queued with its first row after the row that caused the
// scan. Visiting a row of K queues the next row of K when the piece did not change (the
// next one may change it even if this one did not: its replacement differs), and scans
// the piece again when it did. So as long as K occurs in the piece, its next row is
// queued, and every row whose key occurs is visited, in row order, once per piece.
std::string NameSubstitutions::Apply(std::string_view text) const {
  if (rows_.empty() || text.empty()) return std::string(text);
  const KeyIndex& index = *index_;
  if (index.lineBreakInKey()) return ApplyInOrder(text);

  std::vector<std::string> pieces;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t cut = text.find("\r\n", start);
    const std::size_t end = cut == std::string_view::npos ? text.size() : cut + 2;
    pieces.emplace_back(text.substr(start, end - start));
    start = end;
  }

  // (row, piece) pairs, smallest row first.
  using Visit = std::pair<std::uint32_t, std::uint32_t>;
  std::priority_queue<Visit, std::vector<Visit>, std::greater<Visit>> queue;
  const auto scan = [&](std::uint32_t piece, std::int64_t after) {
    index.ForEachKeyIn(pieces[piece], [&](std::uint32_t node) {
      const std::uint32_t row = index.NextRow(node, after);
      if (row != KeyIndex::kNone) queue.emplace(row, piece);
    });
  };
  for (std::uint32_t k = 0; k < pieces.size(); ++k) scan(k, -1);

  Visit last{KeyIndex::kNone, KeyIndex::kNone};
  while (!queue.empty()) {
    const Visit visit = queue.top();
    queue.pop();
    if (visit == last) continue;  // a pair queued twice is visited once
    last = visit;
    const auto [row, piece] = visit;
    std::string changed = ReplaceAll(pieces[piece], rows_[row].key, rows_[row].replacement);
    if (changed != pieces[piece]) {
      pieces[piece] = std::move(changed);
      scan(piece, row);
    } else {
      const std::uint32_t next = index.NextRow(index.NodeOfRow(row), row);
      if (next != KeyIndex::kNone) queue.emplace(next, piece);
    }
  }

  std::string out;
  std::size_t total = 0;
  for (const auto& piece : pieces) total += piece.size();
  out.reserve(total);
  for (const auto& piece : pieces) out += piece;
  return out;
}

NameSubstitutions ImportNameSubstitutions(std::span<const ImportRow> imports) {
  std::vector<NameRewrite> rows;
  rows.reserve(imports.size());
  for (const ImportRow& import : imports) {
    std::string key = "0" + IntToHex(HexTextToValue(import[0]));
    std::string replacement = "删行\r\n" + import[4] + "()\r\n’";
    rows.push_back({std::move(key), std::move(replacement)});
  }
  return NameSubstitutions(std::move(rows));
}

NameSubstitutions SubroutineNameSubstitutions(std::span<const SubroutineEntry> subroutines) {
  std::vector<NameRewrite> rows;
  rows.reserve(subroutines.size() * 2);
  for (const SubroutineEntry& entry : subroutines) {
    if (!entry.thunkLabel.empty()) rows.push_back({entry.thunkLabel, entry.title});
    rows.push_back({entry.address, entry.title + "()"});
  }
  return NameSubstitutions(std::move(rows));
}

}  // namespace tessor
