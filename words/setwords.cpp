// The set.method words: item lists, attribute lines, line lists, templates, a nested script
// (set.do) and whole-file reads and writes. Every method pushes a new text; none changes a
// variable in place. The methods whose work grows with their operands keep to the run's time
// limit as they go (TqelScript::WorkMeter), and set.do runs its text on the run's behalf.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "text/qelstrings.h"
#include "words/commonwords.h"

namespace tavlo {

namespace {

using Lines = std::vector<std::string>;

// Lines end at CR LF, CR or LF; a break at the very end starts no extra line.
Lines SplitLines(const std::string& text, const TWorkMeter& meter) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      meter.Step();
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string JoinLines(const Lines& lines) {
  std::string out;
  for (const std::string& line : lines) out.append(line).append("\r\n");
  return out;
}

bool InRange(std::int32_t index, const Lines& lines) {
  return index >= 0 && static_cast<std::size_t>(index) < lines.size();
}

void PushText(TqelScript& s, std::string text) {
  s.Push(Variant(std::move(text)));
}

void SetFirst(TqelScript& s) {
  PushText(s, FirstItem(s.PopText()));
}
void SetLast(TqelScript& s) {
  PushText(s, LastItem(s.PopText()));
}
void SetCount(TqelScript& s) {
  s.Push(Variant(static_cast<std::int32_t>(ItemCount(s.PopText(), s.WorkMeter()))));
}

void SetPick(TqelScript& s) {
  const std::int32_t index = s.PopInteger();
  PushText(s, PickItem(s.PopText(), index, s.WorkMeter()));
}

void SetLeft(TqelScript& s) {
  PushText(s, RotateItemsLeft(s.PopText(), s.WorkMeter()));
}
void SetRight(TqelScript& s) {
  PushText(s, RotateItemsRight(s.PopText(), s.WorkMeter()));
}
void SetSort(TqelScript& s) {
  PushText(s, SortItems(s.PopText(), s.WorkMeter()));
}

template <std::string (*kCombine)(const std::string&, const std::string&, const TWorkMeter&)>
void SetCombine(TqelScript& s) {
  const std::string b = s.PopText();
  const std::string a = s.PopText();
  PushText(s, kCombine(a, b, s.WorkMeter()));
}

void SetPack(TqelScript& s) {
  std::string text = s.PopText();
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  PushText(s, std::move(text));
}

void SetSplit(TqelScript& s) {
  const std::string separator = s.PopText();
  const std::string text = s.PopText();
  if (separator.empty()) {
    PushText(s, text);
    return;
  }
  std::string out;
  std::size_t from = 0;
  const TWorkMeter meter = s.WorkMeter();
  for (std::size_t at; (at = FindBytes(text, separator, from)) != std::string::npos;) {
    meter.Step();
    out.append(text, from, at - from).append(" ");
    from = at + separator.size();
  }
  out.append(text, from, std::string::npos);
  PushText(s, std::move(out));
}

void SetGet(TqelScript& s) {
  const std::string name = s.PopText();
  PushText(s, AttrGet(s.PopText(), name));
}

void SetSet(TqelScript& s) {
  const std::string value = s.PopText();
  const std::string name = s.PopText();
  std::string line = s.PopText();
  AttrSet(line, name, value);
  PushText(s, std::move(line));
}

void SetLine(TqelScript& s) {
  const std::int32_t index = s.PopInteger();
  const Lines lines = SplitLines(s.PopText(), s.WorkMeter());
  PushText(s, InRange(index, lines) ? lines[static_cast<std::size_t>(index)] : std::string());
}

void SetCntLine(TqelScript& s) {
  s.Push(Variant(static_cast<std::int32_t>(SplitLines(s.PopText(), s.WorkMeter()).size())));
}

void SetAddLine(TqelScript& s) {
  const std::string line = s.PopText();
  PushText(s, s.PopText() + "\r\n" + line);
}

void SetDelLine(TqelScript& s) {
  const std::int32_t index = s.PopInteger();
  const std::string text = s.PopText();
  Lines lines = SplitLines(text, s.WorkMeter());
  if (!InRange(index, lines)) {
    PushText(s, text);
    return;
  }
  lines.erase(lines.begin() + index);
  PushText(s, JoinLines(lines));
}

void SetInsLine(TqelScript& s) {
  const std::int32_t index = s.PopInteger();
  const std::string line = s.PopText();
  Lines lines = SplitLines(s.PopText(), s.WorkMeter());
  if (InRange(index, lines)) {
    lines.insert(lines.begin() + index, line);
  } else {
    lines.push_back(line);
  }
  PushText(s, JoinLines(lines));
}

void SetMoveLine(TqelScript& s) {
  const std::int32_t to = s.PopInteger();
  const std::int32_t from = s.PopInteger();
  const std::string text = s.PopText();
  Lines lines = SplitLines(text, s.WorkMeter());
  if (!InRange(from, lines) || !InRange(to, lines)) {
    PushText(s, text);
    return;
  }
  std::string moved = std::move(lines[static_cast<std::size_t>(from)]);
  lines.erase(lines.begin() + from);
  lines.insert(lines.begin() + to, std::move(moved));
  PushText(s, JoinLines(lines));
}

void SetSortLines(TqelScript& s) {
  const TWorkMeter meter = s.WorkMeter();
  Lines lines = SplitLines(s.PopText(), meter);
  std::sort(lines.begin(), lines.end(), [&meter](const std::string& a, const std::string& b) {
    meter.Step();
    return CompareTextNoCase(a, b) < 0;
  });
  PushText(s, JoinLines(lines));
}

void SetTemplate(TqelScript& s) {
  Variant value = s.Pop();
  const std::string name = s.PopText();
  std::string text = s.PopText();
  const int block = PosFromNoCase("block:", name, 1);
  if (block > 0) {
    ExpandBlock(text, name.substr(static_cast<std::size_t>(block) - 1 + 6));
    PushText(s, std::move(text));
    return;
  }
  PushText(s, ReplaceLast(text, "{" + name + "}", value.ToText()));
}

void SetTemplateClean(TqelScript& s) {
  const TWorkMeter meter = s.WorkMeter();
  PushText(s, RemoveBraceMarkers(RemoveBlockDefinitions(s.PopText(), meter), meter));
}

// set.do may run a script that runs set.do again; the nesting is bounded so that such a
// script fails with a message instead of exhausting the process stack.
constexpr int kMaxNestedScripts = 32;
int nestedScripts = 0;

void SetDo(TqelScript& s) {
  const std::string text = s.PopText();
  if (nestedScripts >= kMaxNestedScripts) TqelScript::Fail("set.do nested too deeply");
  struct Depth {
    Depth() { ++nestedScripts; }
    ~Depth() { --nestedScripts; }
  } depth;
  // The text runs on this run's behalf: with its restriction (a filter's set.do may change
  // nothing either) and within its time, compile included.
  TqelScript inner;
  inner.InheritRun(s);
  inner.SetScript(text);
  s.Push(inner.Run());
}

void SetLoad(TqelScript& s) {
  const std::string file = s.PopFileName();
  if (!Files().FileExists(file)) {
    PushText(s, "not found");
    return;
  }
  PushText(s, LoadFileToString(file));
}

void SetSave(TqelScript& s) {
  const std::string file = s.PopFileName();
  SaveStringToFile(file, s.PopText());
}

const TqelWord kSetMethods[] = {
    {"first", SetFirst},
    {"last", SetLast},
    {"count", SetCount},
    {"pick", SetPick},
    {"left", SetLeft},
    {"right", SetRight},
    {"sort", SetSort},
    {"union", SetCombine<UnionItems>},
    {"intersect", SetCombine<IntersectItems>},
    {"exclude", SetCombine<ExcludeItems>},
    {"pack", SetPack},
    {"split", SetSplit},
    {"get", SetGet},
    {"set", SetSet},
    {"line", SetLine},
    {"cntline", SetCntLine},
    {"addline", SetAddLine},
    {"delline", SetDelLine},
    {"insline", SetInsLine},
    {"moveline", SetMoveLine},
    {"sortlines", SetSortLines},
    {"template", SetTemplate},
    {"templateclean", SetTemplateClean},
    {"do", SetDo},
    {"load", SetLoad},
    {"save", SetSave},
};

void SetFamily(TqelScript& s) {
  const std::string& method = s.CurrentMethod();
  for (const TqelWord& entry : kSetMethods) {
    if (method == entry.name) {
      entry.handler(s);
      return;
    }
  }
  TqelScript::Fail("unrecognized set method set." + method);
}

}  // namespace

void RegisterSetWords() {
  RegisterMethodFamily(TqelMethodFamily::Set, SetFamily);
  static const char* const kChanging[] = {"save"};
  RegisterChangingMethods(TqelMethodFamily::Set, kChanging);
}

}  // namespace tavlo
