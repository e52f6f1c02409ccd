// libFuzzer target: the attribute-line, item-list, Base64 and template functions on arbitrary
// bytes. Checks only that nothing crashes, leaks or breaks the functions' own invariants.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/errors.h"
#include "text/qelstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first line is the name or pattern, the rest the text it works on.
  const std::size_t cut = input.find('\n');
  const std::string name = cut == std::string::npos ? input : input.substr(0, cut);
  const std::string text = cut == std::string::npos ? std::string() : input.substr(cut + 1);

  std::string line = text;
  tavlo::AttrGet(line, name);
  tavlo::AttrSet(line, name, "v");
  tavlo::AttrGet(line, name);
  tavlo::PosFromNoCase(name, text, static_cast<int>(size % 7) - 2);
  tavlo::LastPosNoCase(name, text);
  tavlo::ReplaceLast(text, name, "x");

  const auto items = tavlo::SplitItems(text);
  assert(tavlo::ItemCount(tavlo::JoinItems(items)) <= static_cast<int>(text.size()));
  tavlo::FirstItem(text);
  tavlo::LastItem(text);
  tavlo::SortItems(text);
  tavlo::UnionItems(text, name);
  tavlo::IntersectItems(text, name);
  tavlo::ExcludeItems(text, name);
  tavlo::RotateItemsLeft(text);
  tavlo::RotateItemsRight(text);

  try {
    tavlo::DecodeBase64(text);
  } catch (const tavlo::EConvertError&) {
  }
  const std::string encoded = tavlo::EncodeBase64(input);
  assert(tavlo::DecodeBase64(encoded) == input);

  std::string templ = text;
  tavlo::ExpandBlock(templ, name);
  tavlo::RemoveBraceMarkers(tavlo::RemoveBlockDefinitions(templ));
  return 0;
}
