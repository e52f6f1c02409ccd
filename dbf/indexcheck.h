// The check of one tag's tree: a walk from the root over every node that counts the entries
// and reports the first damage it meets. Damage of the tree's structure stops it; keys out of
// order and entries for record 0 do not, so that the count stays the tree's. It never follows
// a page twice, never goes deeper than kMaxIndexDepth levels and never reads outside the
// file, so it ends on any input.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace tavlo {

class TIndexReader;

constexpr int kMaxIndexDepth = 64;

struct TIndexTagCheck {
  std::int64_t entries = 0;  // counted up to a damage that stopped the walk
  int depth = 0;
  std::string damage;            // "" when the tree is sound
  std::set<std::int64_t> pages;  // offsets of the pages walked
};

// Checks: every page lies in the file and is reached once; the leaves all lie at one depth;
// the neighbour links of linked formats (CDX) chain the nodes of each level in order and end
// at both sides; no key sorts before the one before it in the tag's order (the separators of
// interior nodes included); no entry names record 0.
TIndexTagCheck CheckIndexTag(const TIndexReader& reader, int tag);

}  // namespace tavlo
