// libFuzzer target for the XML reader: any bytes are tokenized, built into a tree, looked up,
// selected from and written back; only crashes, leaks and undefined behaviour count.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "xml/xmltree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  // The first line, when there is one, doubles as a path and a selection.
  std::string path = text.substr(0, text.find('\n'));
  tavlo::TqelXMLTree tree("fuzz");
  tree.LoadFromText(text);
  tree.GetNode(path);
  std::vector<tavlo::TqelXMLNode*> selected;
  tree.SelectNodes(path, selected);
  std::string written = tree.DocumentText();
  tavlo::TqelXMLTree again("again");
  again.LoadFromText(written);
  again.AsText();
  tree.ForceNode(path);
  tree.DeleteNode(path);
  return 0;
}
