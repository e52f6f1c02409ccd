// Item lists: items separated by blanks, an item opened by a double quote running to the
// next one. Lists built here are joined with single blanks and never quote an item.
#include <algorithm>
#include <cstddef>

#include "text/errors.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return CompareTextNoCase(a, b) == 0;
}

}  // namespace

std::string Trim(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsTrimmed(text[first])) ++first;
  while (last > first && IsTrimmed(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// The texts are Windows-1251 bytes, not text in the process locale, so a locale collation
// (strcoll on a UTF-8 locale) would misread them; folding through FoldTable makes "equal
// without regard to case" agree with PosFromNoCase, and orders by the folded byte codes.
int CompareTextNoCase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = FoldTable[static_cast<unsigned char>(a[i])];
    const int cb = FoldTable[static_cast<unsigned char>(b[i])];
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::vector<std::string> SplitItems(const std::string& text) {
  std::vector<std::string> items;
  std::string t = Trim(text);
  while (!t.empty()) {
    if (t[0] == '"') {
      const std::size_t close = t.find('"', 1);
      if (close == std::string::npos) {
        t.erase(0, 1);  // an unmatched quote is dropped; the rest splits at blanks
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
    t = Trim(t);
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

std::string FirstItem(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return t;
  if (t[0] == '"') {
    const std::size_t close = t.find('"', 1);
    return close == std::string::npos ? std::string() : t.substr(1, close - 1);
  }
  return t.substr(0, t.find(' '));
}

std::string LastItem(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return t;
  if (t.back() == '"') {
    const std::size_t end = t.size() - 1;
    if (end == 0) return std::string();
    const std::size_t open = t.rfind('"', end - 1);
    return open == std::string::npos ? t.substr(0, end) : t.substr(open + 1, end - open - 1);
  }
  const std::size_t blank = t.rfind(' ');
  return blank == std::string::npos ? t : t.substr(blank + 1);
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

}  // namespace tavlo
