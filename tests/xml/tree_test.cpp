// The document tree: building from text, path lookup and creation, deletion and the writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "testsupport.h"
#include "text/qelstrings.h"
#include "xml/xmltree.h"

namespace tavlo {
namespace {

std::string Text(const Variant& value) {
  return value.ToText();
}

TEST(XmlBuilder, ElementsAttributesAndValues) {
  TqelXMLTree tree("doc");
  tree.LoadFromText("<a x=\"1\" y = \"2\">t</a><br/><br /><q x='1' z=\"3\"/>");
  EXPECT_EQ(tree.Name, "root");
  ASSERT_EQ(tree.Nodes.size(), 4u);
  const TqelXMLNode& a = *tree.Nodes[0];
  EXPECT_EQ(a.Name, "a");
  EXPECT_EQ(Text(a.Value), "t");
  ASSERT_EQ(a.Attributes.size(), 2u);
  EXPECT_EQ(a.Attributes[0]->Name, "x");
  EXPECT_EQ(Text(a.Attributes[0]->Value), "1");
  EXPECT_EQ(a.Attributes[1]->Name, "y");
  EXPECT_EQ(Text(a.Attributes[1]->Value), "2");
  EXPECT_EQ(a.Attributes[1]->Node, &a);
  EXPECT_EQ(a.ParentNode, &tree);
  for (int i : {1, 2}) {
    EXPECT_EQ(tree.Nodes[i]->Name, "br");
    EXPECT_TRUE(tree.Nodes[i]->Attributes.empty());
  }
  // Single quotes delimit nothing: the first attribute swallows up to the next double quote.
  const TqelXMLNode& q = *tree.Nodes[3];
  EXPECT_EQ(q.Name, "q");
  ASSERT_EQ(q.Attributes.size(), 1u);
  EXPECT_EQ(q.Attributes[0]->Name, "x");
  EXPECT_EQ(Text(q.Attributes[0]->Value), "3");
  TqelXMLTree single("d");
  single.LoadFromText("<a x='1'>");
  EXPECT_TRUE(single.Nodes[0]->Attributes.empty());
}

TEST(XmlBuilder, MixedContentKeepsTheLastTextRun) {
  TqelXMLTree tree("d");
  tree.LoadFromText("lead<p>one <b>two</b> three</p>");
  EXPECT_EQ(Text(tree.Value), "lead");
  const TqelXMLNode& p = *tree.Nodes[0];
  EXPECT_EQ(Text(p.Value), "three");
  EXPECT_EQ(Text(p.Nodes[0]->Value), "two");
  tree.LoadFromText("<c>text<![CDATA[x\r\n\ty]]></c><d><![CDATA[z]]>after</d>");
  EXPECT_TRUE(tree.Nodes[0]->CDATA);
  EXPECT_EQ(Text(tree.Nodes[0]->Value), "x\\n \\t y");
  EXPECT_FALSE(tree.Nodes[1]->CDATA);
  EXPECT_EQ(Text(tree.Nodes[1]->Value), "after");
}

TEST(XmlBuilder, ClosingTagsCloseWhateverIsOpen) {
  TqelXMLTree tree("d");
  tree.LoadFromText("<a></b><c/>");
  ASSERT_EQ(tree.Nodes.size(), 2u);
  EXPECT_EQ(tree.Nodes[1]->Name, "c");
  // Surplus closing tags stay at the root.
  tree.LoadFromText("</x></y><a></a></a></a><b>t</b>");
  ASSERT_EQ(tree.Nodes.size(), 2u);
  EXPECT_EQ(tree.Nodes[1]->Name, "b");
  EXPECT_EQ(tree.Nodes[1]->ParentNode, &tree);
  // Declarations and comments open elements that nothing closes.
  tree.LoadFromText("<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n<lib><b/></lib>");
  ASSERT_EQ(tree.Nodes.size(), 1u);
  EXPECT_EQ(tree.Nodes[0]->Name, "?xml");
  EXPECT_EQ(tree.GetNode("?xml/!--/lib/b")->Name, "b");
}

TEST(XmlBuilder, ReloadReplacesEverythingAndEmptyTextGivesEmptyTree) {
  TqelXMLTree tree("d");
  tree.AddAttribute("k", Variant("v"));
  tree.LoadFromText("<a/>");
  EXPECT_TRUE(tree.Attributes.empty());
  tree.LoadFromText(" \r\n ");
  EXPECT_TRUE(tree.Nodes.empty());
  EXPECT_EQ(tree.Name, "root");
  EXPECT_TRUE(tree.Lines.empty());
}

TEST(XmlBuilder, DeepDocumentsBuildWriteAndFree) {
  // Unclosed tags nest as deep as the text is long; nothing may recurse on the depth.
  std::string text;
  for (int i = 0; i < 200'000; ++i) text += "<a>";
  TqelXMLTree tree("d");
  tree.LoadFromText(text);
  TqelXMLNode* node = &tree;
  int depth = 0;
  while (!node->Nodes.empty()) {
    node = node->Nodes[0].get();
    ++depth;
  }
  EXPECT_EQ(depth, 200'000);
  std::vector<TqelXMLNode*> found;
  tree.SelectNodes("//b", found);
  EXPECT_TRUE(found.empty());
}

class XmlPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.LoadFromText(
        "<list><item>0</item><other/><item>1</item><item>2</item><item>3</item></list>");
  }
  TqelXMLTree tree{"d"};
};

TEST_F(XmlPathTest, IndexedLookup) {
  EXPECT_EQ(Text(tree.GetNode("list/item")->Value), "0");
  EXPECT_EQ(Text(tree.GetNode("list/item[1]")->Value), "1");
  EXPECT_EQ(Text(tree.GetNode("list/item[end]")->Value), "3");
  EXPECT_EQ(Text(tree.GetNode("list/item[-1]")->Value), "3");
  EXPECT_EQ(Text(tree.GetNode("list/item[3]")->Value), "3");
  EXPECT_EQ(tree.GetNode("list/other[0]")->Name, "other");
  EXPECT_EQ(tree.GetNode("list/")->Name, "list");
  EXPECT_EQ(tree.GetNode(""), &tree);
  // The index must be below the number of children of any name.
  EXPECT_EQ(tree.GetNode("list/item[5]"), nullptr);
  EXPECT_EQ(tree.GetNode("list/item[4]"), nullptr);  // five children, four items
  for (const char* path : {"list/item[x]", "list/item[]", "list/item[", "list/item[1",
                           "list/item[-2]", "list/item[ 1]", "list/item[99999999999999999999]",
                           "list/nothing", "list/item/deeper", "List", "list/other/x"}) {
    EXPECT_EQ(tree.GetNode(path), nullptr) << path;
  }
  TqelXMLTree empty("e");
  EXPECT_EQ(empty.GetNode(""), nullptr);
}

TEST_F(XmlPathTest, ForcedPathsCreateOnlyWhatIsMissing) {
  TqelXMLTree doc("d");
  TqelXMLNode* b = doc.ForceNode("a/b");
  EXPECT_EQ(doc.ForceNode("a/b"), b);
  EXPECT_EQ(doc.Nodes[0]->Nodes.size(), 1u);
  TqelXMLNode* b2 = doc.ForceNode("a/+b");
  TqelXMLNode* b3 = doc.ForceNode("a/+b");
  EXPECT_NE(b2, b3);
  EXPECT_EQ(b2->Name, "b");
  EXPECT_EQ(doc.Nodes[0]->Nodes.size(), 3u);
  doc.ForceNode("+a/c");
  ASSERT_EQ(doc.Nodes.size(), 2u);
  EXPECT_EQ(doc.Nodes[1]->Nodes[0]->Name, "c");
  EXPECT_EQ(Text(b->Value), "");
  // Indexes are not read when forcing.
  EXPECT_EQ(tree.ForceNode("list/item[2]")->Name, "item[2]");
  EXPECT_EQ(tree.GetNode("list")->Nodes.size(), 6u);
}

TEST_F(XmlPathTest, AttributesByPath) {
  TqelXMLAttribute* id = tree.ForceAttribute("list/item[1]", "id", Variant(7));
  EXPECT_EQ(tree.GetAttribute("list/item[1]", "id"), nullptr);  // "item[1]" was created
  EXPECT_EQ(tree.GetAttribute("list/item[1]]", "id"), nullptr);
  tree.GetNode("list")->Nodes.back()->AddAttribute("id", Variant("dup"));
  EXPECT_EQ(tree.ForceAttribute("list/item[1]", "id", Variant(8)), id);
  EXPECT_EQ(Text(id->Value), "8");
  TqelXMLNode* item = tree.GetNode("list/item");
  item->AddAttribute("k", Variant("first"));
  item->AddAttribute("k", Variant("second"));
  EXPECT_EQ(Text(tree.GetAttribute("list/item", "k")->Value), "first");
  EXPECT_EQ(Text(item->GetAttributeValue("k")), "first");
  EXPECT_TRUE(item->GetAttributeValue("none").IsNull());
  tree.DeleteAttribute("list/item", "k");
  EXPECT_EQ(Text(item->GetAttributeValue("k")), "second");
  tree.DeleteAttribute("list/item", "missing");
  tree.DeleteAttribute("nowhere", "k");
  EXPECT_EQ(item->Attributes.size(), 1u);
}

TEST_F(XmlPathTest, DeletingNodes) {
  tree.DeleteNode("list/item[1]");
  EXPECT_EQ(Text(tree.GetNode("list/item[1]")->Value), "2");
  tree.DeleteNode("list/item[end]");
  EXPECT_EQ(Text(tree.GetNode("list/item[end]")->Value), "2");
  tree.DeleteNode("");
  tree.DeleteNode("list/none");
  EXPECT_EQ(tree.GetNode("list")->Nodes.size(), 3u);
  tree.GetNode("list")->DeleteNodeAt(-1);
  tree.GetNode("list")->DeleteNodeAt(3);
  EXPECT_EQ(tree.GetNode("list")->Nodes.size(), 3u);
  tree.DeleteNode("list");
  EXPECT_TRUE(tree.Nodes.empty());
}

// A script builds a deep document with one long path: each step must cost the step, not a
// copy of the rest of the path (100,000 steps copied 10 GB).
TEST(XmlPath, PathsOfAHundredThousandStepsWalkInLinearTime) {
  std::string path = "a";
  for (int i = 1; i < 100'000; ++i) path += "/a";
  const auto start = std::chrono::steady_clock::now();
  TqelXMLTree tree("d");
  TqelXMLNode* deepest = tree.ForceNode(path);
  EXPECT_EQ(tree.ForceNode(path), deepest);
  EXPECT_EQ(tree.GetNode(path), deepest);
  EXPECT_EQ(tree.GetNode(path + "/a"), nullptr);
  tree.DeleteNode(path);
  EXPECT_EQ(tree.GetNode(path), nullptr);
  EXPECT_NE(tree.GetNode(path.substr(2)), nullptr);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Linear: well under a second even under the sanitizers; the copies took minutes there.
  EXPECT_LT(seconds, 20.0);
}

TEST(XmlWriter, IndentedOutputByteForByte) {
  TqelXMLTree tree("d");
  TqelXMLNode* a = tree.AddChild("a");
  a->AddAttribute("id", Variant(1));
  a->Value = Variant("x");
  a->AddChild("b");
  EXPECT_EQ(tree.DocumentText(), "<a id=\"1\">\r\n  x\r\n  <b />\r\n</a>\r\n");
  EXPECT_EQ(tree.AsText(), "<d>\r\n  <a id=\"1\">\r\n    x\r\n    <b />\r\n  </a>\r\n</d>\r\n");
  EXPECT_EQ(a->Attributes[0]->AsXML(), " id=\"1\"");
  // Children without a value: no text line. Values of any kind are written as text.
  TqelXMLTree other("o");
  TqelXMLNode* p = other.AddChild("p");
  p->AddChild("q")->Value = Variant(true);
  p->AddChild("r")->Value = Variant(2.5);
  other.AddAttribute("v", Variant("<&\""));
  EXPECT_EQ(other.DocumentText(),
            "<p>\r\n  <q>\r\n    True\r\n  </q>\r\n  <r>\r\n    2.5\r\n"
            "  </r>\r\n</p>\r\n");
  EXPECT_EQ(other.AsText().substr(0, 13), "<o v=\"<&\"\">\r\n");
  TqelXMLTree empty("e");
  empty.AddAttribute("x", Variant("1"));
  EXPECT_EQ(empty.DocumentText(), "");
  EXPECT_EQ(empty.AsText(), "");
}

TEST(XmlWriter, RoundTripOfParsedDocument) {
  TqelXMLTree tree("d");
  tree.LoadFromText(
      "<?xml version=\"1.0\"?><lib><book id=\"1\"><c><![CDATA[l1\r\n\tl2]]></c><br/>"
      "</book></lib>");
  const std::string expected =
      "<?xml version=\"1.0\">\r\n"
      "  <lib>\r\n"
      "    <book id=\"1\">\r\n"
      "      <c>\r\n"
      "        <![CDATA[l1\r\n\tl2]]>\r\n"
      "      </c>\r\n"
      "      <br />\r\n"
      "    </book>\r\n"
      "  </lib>\r\n"
      "</?xml>\r\n";
  EXPECT_EQ(tree.DocumentText(), expected);
  TqelXMLTree again("d");
  again.LoadFromText(expected);
  EXPECT_EQ(again.DocumentText(), expected);
}

// A caller must be able to stop the writer before a document fills the memory, and to look
// at the clock while it writes.
TEST(XmlWriter, ReportsTheSizeFirstAndAsTheTextGrows) {
  std::string deep;
  for (int i = 0; i < 50'000; ++i) deep += "<a>";
  TqelXMLTree tree("d");
  tree.LoadFromText(deep);
  // The indentation is known before anything is written: two lines of at most
  // kXMLMaxIndentLevel levels per element.
  std::vector<std::size_t> reports;
  auto refuse = [&reports](std::size_t bytes) {
    reports.push_back(bytes);
    throw std::runtime_error("too large");
  };
  EXPECT_THROW(tree.DocumentText(refuse), std::runtime_error);
  ASSERT_EQ(reports.size(), 1u);
  const std::size_t deepest = 2 * kXMLMaxIndentLevel;
  EXPECT_GE(reports[0], (50'000 - kXMLMaxIndentLevel) * 2 * deepest);
  EXPECT_LE(reports[0], 50'000 * 2 * deepest);
  EXPECT_THROW(tree.AsText(refuse), std::runtime_error);
  EXPECT_EQ(reports.size(), 2u);

  // 20,000 levels: about 5 MB, reported at least once per kXMLReportBytes written.
  tree.LoadFromText(deep.substr(0, 20'000 * 3));
  reports.clear();
  std::string text = tree.DocumentText([&reports](std::size_t bytes) { reports.push_back(bytes); });
  EXPECT_EQ(text, tree.DocumentText());
  ASSERT_GE(reports.size(), 4u);
  EXPECT_LE(reports[0], text.size());
  const std::size_t longestLine = deepest + 16;
  for (std::size_t i = 2; i < reports.size(); ++i) {
    EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_LT(reports[i] - reports[i - 1], kXMLReportBytes + longestLine);
  }
  EXPECT_GT(reports.back() + kXMLReportBytes + longestLine, text.size());
}

// Two blanks per level on every line would make a 700 KB document nested 100,000 levels deep
// a 20 GB text: deeper lines keep the indentation of the deepest level indented, so it saves
// (and frees) like any other, and reads back the same.
TEST(XmlWriter, AHundredThousandLevelsSaveAndReadBack) {
  testsupport::ScratchFolder folder;
  const std::string file = folder.File("deep.xml");
  constexpr std::size_t kLevels = 100'000;
  std::string text;
  for (std::size_t i = 0; i < kLevels; ++i) text += "<a>";
  text += "bottom";
  for (std::size_t i = 0; i < kLevels; ++i) text += "</a>";
  std::size_t largest = 0;
  {
    TqelXMLTree tree("d");
    tree.LoadFromText(text);
    tree.SaveToFile(file, [&largest](std::size_t bytes) {
      largest = std::max(largest, bytes);
      if (bytes > (std::size_t{1} << 30)) throw std::runtime_error("too large");
    });
  }
  const std::string saved = LoadFileToString(file);
  EXPECT_LE(largest, saved.size());
  EXPECT_LT(saved.size(), kLevels * 2 * (2 * kXMLMaxIndentLevel + 8));
  const std::string indent(2 * kXMLMaxIndentLevel, ' ');
  EXPECT_EQ(saved.substr(0, 10), "<a>\r\n  <a>");
  EXPECT_NE(saved.find("\r\n" + indent + "<a>\r\n" + indent + "<a>\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("\r\n" + indent + " <a>"), std::string::npos);
  EXPECT_NE(saved.find("\r\n" + indent + "bottom\r\n" + indent + "</a>\r\n"), std::string::npos);
  EXPECT_EQ(saved.substr(saved.size() - 14), "  </a>\r\n</a>\r\n");

  TqelXMLTree again("d");
  again.LoadFromFile(file);
  const TqelXMLNode* node = &again;
  std::size_t depth = 0;
  while (!node->Nodes.empty()) {
    ASSERT_EQ(node->Nodes.size(), 1u);
    node = node->Nodes[0].get();
    ++depth;
  }
  EXPECT_EQ(depth, kLevels);
  EXPECT_EQ(Text(node->Value), "bottom");
  EXPECT_EQ(again.DocumentText(), saved);
}

TEST(XmlWriter, AStoppedSaveWritesNothing) {
  testsupport::ScratchFolder folder;
  const std::string file = folder.File("kept.xml");
  SaveStringToFile(file, "<old/>\r\n");
  std::string deep;
  for (int i = 0; i < 1'000; ++i) deep += "<a>";
  TqelXMLTree tree("d");
  tree.LoadFromText(deep);
  int calls = 0;
  auto stopLater = [&calls](std::size_t) {
    if (++calls == 2) throw std::runtime_error("stopped");
  };
  EXPECT_THROW(tree.SaveToFile(file, stopLater), std::runtime_error);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(LoadFileToString(file), "<old/>\r\n");
  // Bare line breaks in values still reach the file as CR LF lines.
  tree.LoadFromText("<a/>");
  tree.Nodes[0]->Value = Variant(std::string("x\ny\rz"));
  tree.SaveToFile(file);
  EXPECT_EQ(LoadFileToString(file), "<a>\r\n  x\r\ny\r\nz\r\n</a>\r\n");
}

TEST(XmlWriter, NullValueHasNoText) {
  TqelXMLTree tree("d");
  tree.AddChild("a")->Value = Variant::Null();
  EXPECT_THROW(tree.DocumentText(), EVariantTypeCastError);
}

}  // namespace
}  // namespace tavlo
