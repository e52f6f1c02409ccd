// The walk that checks a tag's tree.
#include "dbf/indexcheck.h"

#include <set>
#include <vector>

#include "dbf/indexreader.h"

namespace tavlo {

namespace {

std::string Page(const TIndexReader& reader, std::int64_t offset) {
  return "page " + std::to_string(reader.PageNumber(offset));
}

class Walker {
 public:
  Walker(const TIndexReader& reader, int tag) : reader_(reader), tag_(tag) {}

  void Run(TIndexTagCheck& result) {
    Visit(reader_.Tag(tag_).rootOffset, 1);
    for (const Level& level : levels_) {
      if (level.right != -1) {
        Damage(Page(reader_, level.offset) + " is the last of its level but links to " +
               Page(reader_, level.right) + " as its right neighbour");
      }
    }
    result.depth = leafDepth_;
    if (!problem.empty()) Damage(problem);
  }

  std::int64_t entries = 0;
  std::set<std::int64_t> Pages() { return std::move(visited_); }
  std::string problem;  // the first damage that did not stop the walk

 private:
  struct Level {
    std::int64_t offset = -1;
    std::int64_t right = -1;
  };

  [[noreturn]] void Damage(const std::string& reason) { throw EIndexDamage(reason); }

  void Visit(std::int64_t offset, int depth) {
    if (depth > kMaxIndexDepth) {
      Damage("the tree is deeper than " + std::to_string(kMaxIndexDepth) + " levels");
    }
    if (!visited_.insert(offset).second) Damage(Page(reader_, offset) + " is used twice");
    const TIndexNode node = reader_.ReadNode(tag_, offset);
    if (node.linked) CheckNeighbours(node, offset, depth);
    if (node.leaf) {
      if (leafDepth_ == 0) leafDepth_ = depth;
      if (leafDepth_ != depth) {
        Damage("the leaves lie at different depths (" + Page(reader_, offset) + " at level " +
               std::to_string(depth) + ", others at level " + std::to_string(leafDepth_) + ")");
      }
      for (std::size_t i = 0; i < node.keys.size(); ++i) {
        Emit(node.keys[i], node.records[i], true, offset);
      }
      return;
    }
    const bool entriesHere = reader_.InteriorKeysAreEntries();
    for (std::size_t i = 0; i < node.children.size(); ++i) {
      Visit(node.children[i], depth + 1);
      if (i < node.keys.size()) Emit(node.keys[i], node.records[i], entriesHere, offset);
    }
  }

  void CheckNeighbours(const TIndexNode& node, std::int64_t offset, int depth) {
    if (levels_.size() < static_cast<std::size_t>(depth)) levels_.resize(depth);
    Level& level = levels_[depth - 1];
    if (level.offset == -1) {
      if (node.left != -1) {
        Damage(Page(reader_, offset) + " is the first of its level but links to " +
               Page(reader_, node.left) + " as its left neighbour");
      }
    } else {
      if (level.right != offset) {
        Damage(Page(reader_, level.offset) + " links to " +
               (level.right == -1 ? std::string("no page") : Page(reader_, level.right)) +
               " as its right neighbour, but " + Page(reader_, offset) + " follows it");
      }
      if (node.left != level.offset) {
        Damage(Page(reader_, offset) + " links to " +
               (node.left == -1 ? std::string("no page") : Page(reader_, node.left)) +
               " as its left neighbour, but follows " + Page(reader_, level.offset));
      }
    }
    level.offset = offset;
    level.right = node.right;
  }

  // Keys out of order and record 0 leave the tree walkable: the first is kept as the
  // reason and the walk goes on, so that the count is the tree's.
  void Emit(const std::string& key, std::uint32_t record, bool entry, std::int64_t offset) {
    if (havePrevious_ && problem.empty() && reader_.CompareKeys(tag_, previous_, key) > 0) {
      problem = "the keys are out of order on " + Page(reader_, offset) + ": entry " +
                std::to_string(entries + 1) + " sorts before the key before it";
    }
    previous_ = key;
    havePrevious_ = true;
    if (!entry) return;
    if (record == 0 && problem.empty()) {
      problem = Page(reader_, offset) + " holds an entry for record 0";
    }
    ++entries;
  }

  const TIndexReader& reader_;
  int tag_;
  std::set<std::int64_t> visited_;
  std::vector<Level> levels_;
  int leafDepth_ = 0;
  std::string previous_;
  bool havePrevious_ = false;
};

}  // namespace

TIndexTagCheck CheckIndexTag(const TIndexReader& reader, int tag) {
  TIndexTagCheck result;
  Walker walker(reader, tag);
  try {
    walker.Run(result);
  } catch (const EIndexDamage& damage) {
    result.damage = walker.problem.empty() ? damage.what() : walker.problem;
  }
  result.entries = walker.entries;
  result.pages = walker.Pages();
  return result;
}

}  // namespace tavlo
