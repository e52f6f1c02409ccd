// Item lists: items separated by blanks, an item opened by a double quote running to the
// next one. Lists built here are joined with single blanks and never quote an item. Every
// function reads the list in one pass (the sort in n log n) and steps its work meter per item,
// so that a list of millions of items neither takes quadratic time nor escapes a time limit.
// Comma lists (SplitCommaList) are read here too, with the same meter.
#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <unordered_set>

#include "text/errors.h"
#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {

namespace {

constexpr std::size_t npos = std::string::npos;

// Calls take(offset, length) for every item of text in order, until it returns false. After
// the leading characters of codes up to 32 are skipped, a quote opens an item that runs to
// the next quote (a quote without partner is dropped and the rest splits at blanks); any
// other item runs to the next blank. Nothing of the text is copied: the list functions once
// copied the rest of the list after every item, which made n items cost n squared bytes.
template <typename Take>
void ForEachItem(const std::string& text, const TWorkMeter& meter, Take take) {
  std::size_t end = text.size();
  while (end > 0 && IsBlankOrControl(text[end - 1])) --end;
  std::size_t i = 0;
  while (i < end && IsBlankOrControl(text[i])) ++i;
  while (i < end) {
    meter.Step();
    if (text[i] == '"') {
      // A quote is above 32, so the closing one lies before the trimmed end.
      const std::size_t close = text.find('"', i + 1);
      if (close == npos) {
        ++i;
      } else {
        if (!take(i + 1, close - i - 1)) return;
        i = close + 1;
      }
    } else {
      std::size_t blank = text.find(' ', i);
      if (blank == npos || blank > end) blank = end;
      if (!take(i, blank - i)) return;
      i = blank + 1;
    }
    while (i < end && IsBlankOrControl(text[i])) ++i;
  }
}

}  // namespace

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

std::vector<std::string> SplitItems(const std::string& text, const TWorkMeter& meter) {
  std::vector<std::string> items;
  ForEachItem(text, meter, [&items, &text](std::size_t at, std::size_t length) {
    items.emplace_back(text, at, length);
    return true;
  });
  return items;
}

std::string JoinItems(const std::vector<std::string>& items) {
  std::size_t total = 0;
  for (const std::string& item : items) total += item.size() + 1;
  std::string out;
  out.reserve(total);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ' ';
    out += items[i];
  }
  return out;
}

std::string FirstItem(const std::string& text) {
  const std::string t(TrimControl(text));
  if (t.empty()) return t;
  if (t[0] == '"') {
    const std::size_t close = t.find('"', 1);
    return close == std::string::npos ? std::string() : t.substr(1, close - 1);
  }
  return t.substr(0, t.find(' '));
}

std::string LastItem(const std::string& text) {
  const std::string t(TrimControl(text));
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

int ItemCount(const std::string& text, const TWorkMeter& meter) {
  int count = 0;
  ForEachItem(text, meter, [&count](std::size_t, std::size_t) {
    ++count;
    return true;
  });
  return count;
}

std::string RotateItemsLeft(const std::string& text, const TWorkMeter& meter) {
  std::vector<std::string> items = SplitItems(text, meter);
  if (!items.empty()) std::rotate(items.begin(), items.begin() + 1, items.end());
  return JoinItems(items);
}

std::string RotateItemsRight(const std::string& text, const TWorkMeter& meter) {
  std::vector<std::string> items = SplitItems(text, meter);
  if (!items.empty()) std::rotate(items.rbegin(), items.rbegin() + 1, items.rend());
  return JoinItems(items);
}

std::string PickItem(const std::string& text, int index, const TWorkMeter& meter) {
  if (index < 0) throw EListError::ForIndex(index);
  std::string picked;
  int at = 0;
  ForEachItem(text, meter, [&](std::size_t offset, std::size_t length) {
    if (at++ < index) return true;
    picked.assign(text, offset, length);
    return false;
  });
  return picked;
}

std::string SortItems(const std::string& text, const TWorkMeter& meter) {
  std::vector<std::string> items = SplitItems(text, meter);
  // The same sort over the same items as always, so that items equal without regard to case
  // keep the order they always had; the meter may end it early, and the items are then
  // dropped unfinished.
  std::sort(items.begin(), items.end(), [&meter](const std::string& a, const std::string& b) {
    meter.Step();
    return CompareTextNoCase(a, b) < 0;
  });
  return JoinItems(items);
}

// The items of b and then those of a, each only the first time an equal one (without regard
// to case) comes; with b empty, a as it is, duplicates included.
std::string UnionItems(const std::string& a, const std::string& b, const TWorkMeter& meter) {
  const std::vector<std::string> itemsB = SplitItems(b, meter);
  const std::vector<std::string> itemsA = SplitItems(a, meter);
  if (itemsB.empty()) return JoinItems(itemsA);
  std::vector<std::string> out;
  std::unordered_set<std::string> seen;
  auto add = [&](const std::string& item) {
    meter.Step();
    if (seen.insert(FoldedText(item)).second) out.push_back(item);
  };
  for (const std::string& item : itemsB) add(item);
  for (const std::string& item : itemsA) add(item);
  return JoinItems(out);
}

// Every item of b (duplicates kept) that a holds without regard to case.
std::string IntersectItems(const std::string& a, const std::string& b, const TWorkMeter& meter) {
  const std::vector<std::string> itemsB = SplitItems(b, meter);
  if (itemsB.empty()) return std::string();
  std::unordered_set<std::string> inA;
  ForEachItem(a, meter, [&](std::size_t offset, std::size_t length) {
    inA.insert(FoldedText(a.substr(offset, length)));
    return true;
  });
  std::vector<std::string> out;
  for (const std::string& item : itemsB) {
    meter.Step();
    if (inA.count(FoldedText(item)) != 0) out.push_back(item);
  }
  return JoinItems(out);
}

// a without, for every item of b, the first of its remaining items equal to it: for each
// group of equal items, the first as many as b holds of that group go.
std::string ExcludeItems(const std::string& a, const std::string& b, const TWorkMeter& meter) {
  std::vector<std::string> itemsA = SplitItems(a, meter);
  std::unordered_map<std::string, std::size_t> toRemove;
  ForEachItem(b, meter, [&](std::size_t offset, std::size_t length) {
    ++toRemove[FoldedText(b.substr(offset, length))];
    return true;
  });
  std::vector<std::string> out;
  out.reserve(itemsA.size());
  for (std::string& item : itemsA) {
    meter.Step();
    if (!toRemove.empty()) {
      auto found = toRemove.find(FoldedText(item));
      if (found != toRemove.end() && found->second > 0) {
        --found->second;
        continue;
      }
    }
    out.push_back(std::move(item));
  }
  return JoinItems(out);
}

// A NUL counts as a blank too, which would otherwise stop the scan without consuming it.
std::vector<std::string> SplitCommaList(const std::string& text, TrailingComma trailing,
                                        const TWorkMeter& meter) {
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsBlankOrControl(text[i])) ++i;
  while (i < n) {
    meter.Step();
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < n && text[i] != ',' && !IsBlankOrControl(text[i])) item += text[i++];
    }
    items.push_back(std::move(item));
    while (i < n && IsBlankOrControl(text[i])) ++i;
    if (i < n && text[i] == ',') {
      ++i;
      while (i < n && IsBlankOrControl(text[i])) ++i;
      if (i >= n && trailing == TrailingComma::EndsEmptyItem) items.emplace_back();
    }
  }
  return items;
}

}  // namespace tavlo
