// The item-list set words against the item functions as they were when every one of them
// copied the rest of the list once per item (quadratic, but the meaning every stored script
// relies on): random lists of blanks, controls, quotes, letters of both cases and Cyrillic
// letters, through the words of a running script, must give the same texts, counts, orders,
// duplicates and separators.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "text/errors.h"
#include "text/qelstrings.h"
#include "text/trim.h"
#include "wordtest.h"

namespace tavlo {
namespace {

namespace reference {

bool EqualNoCase(const std::string& a, const std::string& b) {
  return CompareTextNoCase(a, b) == 0;
}

std::vector<std::string> SplitItems(const std::string& text) {
  std::vector<std::string> items;
  std::string t(TrimControl(text));
  while (!t.empty()) {
    if (t[0] == '"') {
      const std::size_t close = t.find('"', 1);
      if (close == std::string::npos) {
        t.erase(0, 1);
      } else {
        items.push_back(t.substr(1, close - 1));
        t.erase(0, close + 1);
      }
    } else {
      const std::size_t blank = t.find(' ');
      if (blank == std::string::npos) {
        items.push_back(t);
        t.clear();
      } else {
        items.push_back(t.substr(0, blank));
        t.erase(0, blank + 1);
      }
    }
    t = std::string(TrimControl(t));
  }
  return items;
}

std::string JoinItems(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ' ';
    out += items[i];
  }
  return out;
}

int ItemCount(const std::string& text) {
  return static_cast<int>(SplitItems(text).size());
}

std::string RotateItemsLeft(const std::string& text) {
  std::vector<std::string> items = SplitItems(text);
  if (!items.empty()) std::rotate(items.begin(), items.begin() + 1, items.end());
  return JoinItems(items);
}

std::string RotateItemsRight(const std::string& text) {
  std::vector<std::string> items = SplitItems(text);
  if (!items.empty()) std::rotate(items.rbegin(), items.rbegin() + 1, items.rend());
  return JoinItems(items);
}

std::string PickItem(const std::string& text, int index) {
  if (index < 0) throw EListError::ForIndex(index);
  const std::vector<std::string> items = SplitItems(text);
  if (static_cast<std::size_t>(index) >= items.size()) return std::string();
  return items[static_cast<std::size_t>(index)];
}

std::string SortItems(const std::string& text) {
  std::vector<std::string> items = SplitItems(text);
  std::sort(items.begin(), items.end(),
            [](const std::string& a, const std::string& b) { return CompareTextNoCase(a, b) < 0; });
  return JoinItems(items);
}

std::string UnionItems(const std::string& a, const std::string& b) {
  const std::vector<std::string> itemsB = SplitItems(b);
  const std::vector<std::string> itemsA = SplitItems(a);
  if (itemsB.empty()) return JoinItems(itemsA);
  std::vector<std::string> out;
  auto add = [&out](const std::string& item) {
    for (const std::string& kept : out) {
      if (EqualNoCase(kept, item)) return;
    }
    out.push_back(item);
  };
  for (const std::string& item : itemsB) add(item);
  for (const std::string& item : itemsA) add(item);
  return JoinItems(out);
}

std::string IntersectItems(const std::string& a, const std::string& b) {
  const std::vector<std::string> itemsB = SplitItems(b);
  if (itemsB.empty()) return std::string();
  const std::vector<std::string> itemsA = SplitItems(a);
  std::vector<std::string> out;
  for (const std::string& item : itemsB) {
    for (const std::string& inA : itemsA) {
      if (EqualNoCase(inA, item)) {
        out.push_back(item);
        break;
      }
    }
  }
  return JoinItems(out);
}

std::string ExcludeItems(const std::string& a, const std::string& b) {
  std::vector<std::string> itemsA = SplitItems(a);
  for (const std::string& item : SplitItems(b)) {
    for (auto it = itemsA.begin(); it != itemsA.end(); ++it) {
      if (EqualNoCase(*it, item)) {
        itemsA.erase(it);
        break;
      }
    }
  }
  return JoinItems(itemsA);
}

}  // namespace reference

// Lists of a few short items, drawn from bytes that each mean something to the splitter:
// blanks and controls separate or are trimmed, a quote opens or closes an item, letters of
// both cases (Latin and Cyrillic) make items equal without regard to case.
std::string RandomList(std::mt19937& random) {
  static const std::string kBytes = std::string("  \t\r\x01\"aAbBcC\xE0\xC0\xE1\xC1.") + '\0';
  std::uniform_int_distribution<int> length(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, kBytes.size() - 1);
  std::string text;
  for (int i = length(random); i > 0; --i) text += kBytes[pick(random)];
  return text;
}

class SetWordsDifferential : public WordTest {
 protected:
  SetWordsDifferential() {
    script.onGetVariable = [this](TqelScript&, const std::string& name, Variant& value,
                                  bool& handled, std::string&) {
      value = Variant(name == "A" ? a_ : b_);
      handled = true;
    };
  }
  std::string a_, b_;
};

TEST_F(SetWordsDifferential, ItemWordsGiveTheReferenceResults) {
  std::mt19937 random(20260514);
  for (int round = 0; round < 3000; ++round) {
    a_ = RandomList(random);
    b_ = RandomList(random);
    SCOPED_TRACE("a = \"" + a_ + "\", b = \"" + b_ + "\"");
    EXPECT_EQ(RunInteger(">A.get set.count"), reference::ItemCount(a_));
    EXPECT_EQ(RunText(">A.get set.left"), reference::RotateItemsLeft(a_));
    EXPECT_EQ(RunText(">A.get set.right"), reference::RotateItemsRight(a_));
    EXPECT_EQ(RunText(">A.get set.sort"), reference::SortItems(a_));
    EXPECT_EQ(RunText(">A.get >B.get set.union"), reference::UnionItems(a_, b_));
    EXPECT_EQ(RunText(">A.get >B.get set.intersect"), reference::IntersectItems(a_, b_));
    EXPECT_EQ(RunText(">A.get >B.get set.exclude"), reference::ExcludeItems(a_, b_));
    for (int index = 0; index <= reference::ItemCount(a_); ++index) {
      EXPECT_EQ(RunText(">A.get " + std::to_string(index) + " set.pick"),
                reference::PickItem(a_, index));
    }
    EXPECT_EQ(JoinItems(SplitItems(a_)), reference::JoinItems(reference::SplitItems(a_)));
  }
}

// Sets with many equal items, where the bookkeeping of union, intersect and exclude (which
// copy of an item stays, how many copies go) shows.
TEST_F(SetWordsDifferential, RepeatedItemsKeepTheirCopiesAndOrder) {
  std::mt19937 random(7);
  const std::vector<std::string> words = {"a", "A", "b", "\"a\"", "\xE0", "\xC0", "ab"};
  std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
  std::uniform_int_distribution<int> length(0, 12);
  for (int round = 0; round < 2000; ++round) {
    a_.clear();
    b_.clear();
    for (int i = length(random); i > 0; --i) a_ += words[pick(random)] + " ";
    for (int i = length(random); i > 0; --i) b_ += words[pick(random)] + "  ";
    SCOPED_TRACE("a = \"" + a_ + "\", b = \"" + b_ + "\"");
    EXPECT_EQ(RunText(">A.get >B.get set.union"), reference::UnionItems(a_, b_));
    EXPECT_EQ(RunText(">A.get >B.get set.intersect"), reference::IntersectItems(a_, b_));
    EXPECT_EQ(RunText(">A.get >B.get set.exclude"), reference::ExcludeItems(a_, b_));
    EXPECT_EQ(RunText(">A.get set.sort"), reference::SortItems(a_));
  }
}

}  // namespace
}  // namespace tavlo
