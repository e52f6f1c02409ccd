// Form file lines: the skip rules, the defaults, colour texts, the file's lines and the
// table fallback.
#include "workspace/formfile.h"

#include <set>

#include "testsupport.h"

namespace tavlo {
namespace {

const char* const kEditLine =
    "control=\"edit\" left=\"24\" top=\"40\" width=\"121\" height=\"24\" field=\"CITY\" "
    "fontname=\"MS Sans Serif\" fontsize=\"8\" fontcolor=\"clWindowText\" fontbold=\"yes\" "
    "fontitalic=\"no\" fontunderline=\"no\"";

TEST(FormFile, ControlLineRoundTripsInFileOrder) {
  FormControlDesc desc;
  ASSERT_TRUE(LineToControl(kEditLine, desc));
  EXPECT_EQ(desc.kind, FormControlKind::Edit);
  EXPECT_EQ(desc.left, 24);
  EXPECT_EQ(desc.height, 24);
  EXPECT_EQ(desc.field, "CITY");
  EXPECT_EQ(desc.fontColor, clWindowText);
  EXPECT_TRUE(desc.bold);
  EXPECT_EQ(ControlToLine(desc), kEditLine);

  FormControlDesc label;
  label.caption = "City";
  label.left = -3;
  label.width = 33;
  label.height = 17;
  label.fontColor = 0x00FF8000;
  label.underline = true;
  EXPECT_EQ(ControlToLine(label),
            "control=\"label\" left=\"-3\" top=\"0\" width=\"33\" height=\"17\" caption=\"City\" "
            "fontname=\"MS Sans Serif\" fontsize=\"8\" fontcolor=\"$00FF8000\" fontbold=\"no\" "
            "fontitalic=\"no\" fontunderline=\"yes\"");
  FormControlDesc back;
  ASSERT_TRUE(LineToControl(ControlToLine(label), back));
  EXPECT_EQ(back, label);
}

TEST(FormFile, InvalidLinesAreSkipped) {
  const char* const kSkipped[] = {
      "",
      "control=\"\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" field=\"A\"",
      "control=\"label\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" caption=\"\"",
      "control=\"label\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" field=\"A\"",
      "control=\"edit\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" field=\"\"",
      "control=\"edit\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" caption=\"A\"",
      "control=\"edit\" left=\"1\" top=\"1\" width=\"1\" field=\"A\"",
      "control=\"edit\" left=\"x\" top=\"1\" width=\"1\" height=\"1\" field=\"A\"",
      "control=\"edit\" left=\"1\" top=\"1.5\" width=\"1\" height=\"1\" field=\"A\"",
      "control=\"edit\" left=\"1\" top=\"1\" width=\" 1\" height=\"1\" field=\"A\"",
      "control=\"Edit\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" field=\"A\"",
      "control=\"button\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" field=\"A\"",
      "control=\"edit\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" field=\"A",
  };
  for (const char* line : kSkipped) {
    FormControlDesc desc;
    desc.left = 77;
    EXPECT_FALSE(LineToControl(line, desc)) << line;
    EXPECT_EQ(desc.left, 77) << "a skipped line leaves the description alone: " << line;
  }
}

TEST(FormFile, DefaultsAndLenientValues) {
  FormControlDesc desc;
  ASSERT_TRUE(LineToControl(
      "control=\"checkbox\" left=\"$10\" top=\"-5\" width=\"$FF\" height=\"17\" field=\"OK\"",
      desc));
  EXPECT_EQ(desc.kind, FormControlKind::CheckBox);
  EXPECT_EQ(desc.left, 16);
  EXPECT_EQ(desc.top, -5);
  EXPECT_EQ(desc.width, 255);
  EXPECT_EQ(desc.fontName, "MS Sans Serif");
  EXPECT_EQ(desc.fontSize, 8);
  EXPECT_EQ(desc.fontColor, clBlack);
  EXPECT_FALSE(desc.bold || desc.italic || desc.underline);

  const std::string base = "control=\"memo\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" ";
  struct Case {
    std::string attributes;
    int size;
    TColor color;
    bool bold;
  } cases[] = {
      {"field=\"N\" fontsize=\"big\"", 8, clBlack, false},
      {"field=\"N\" fontsize=\"0\"", 8, clBlack, false},
      {"field=\"N\" fontsize=\"99999999\"", 8, clBlack, false},
      {"field=\"N\" fontsize=\"$c\"", 12, clBlack, false},
      {"field=\"N\" fontcolor=\"purple\"", 8, clBlack, false},
      {"field=\"N\" fontcolor=\"clPurple\"", 8, clPurple, false},
      {"field=\"N\" fontcolor=\"CLPURPLE\"", 8, clPurple, false},
      {"field=\"N\" fontcolor=\"$00800080\"", 8, clPurple, false},
      {"field=\"N\" fontcolor=\"8388736\"", 8, clPurple, false},
      {"field=\"N\" fontbold=\"Yes\"", 8, clBlack, false},
      {"field=\"N\" fontbold=\"yes \"", 8, clBlack, false},
      {"field=\"N\" fontbold=\"yes\"", 8, clBlack, true},
  };
  for (const Case& c : cases) {
    FormControlDesc d;
    ASSERT_TRUE(LineToControl(base + c.attributes, d)) << c.attributes;
    EXPECT_EQ(d.fontSize, c.size) << c.attributes;
    EXPECT_EQ(d.fontColor, c.color) << c.attributes;
    EXPECT_EQ(d.bold, c.bold) << c.attributes;
  }
}

TEST(FormFile, ColourTexts) {
  const auto& table = ColorIdentifiers();
  ASSERT_EQ(table.size(), 42u);
  std::set<TColor> values;
  for (const ColorIdentifier& entry : table) {
    values.insert(entry.value);
    EXPECT_EQ(ColorToText(entry.value), entry.name);
    TColor read = 1;
    ASSERT_TRUE(TextToColor(entry.name, read));
    EXPECT_EQ(read, entry.value);
  }
  EXPECT_EQ(values.size(), 42u) << "every identifier names its own value";
  EXPECT_EQ(ColorToText(0x00000080), "clMaroon");
  EXPECT_EQ(ColorToText(0x00FFFF00), "clAqua");
  EXPECT_EQ(ColorToText(0x80000000), "clScrollBar");
  EXPECT_EQ(ColorToText(0x80000018), "clInfoBk");
  EXPECT_EQ(ColorToText(0x80000019), "$80000019");
  EXPECT_EQ(ColorToText(0x00FF8000), "$00FF8000");
  EXPECT_EQ(ColorToText(0x00abcdef), "$00ABCDEF");
  EXPECT_EQ(ColorToText(0x1FFFFFFF), "clNone");
  TColor color = 5;
  EXPECT_TRUE(TextToColor("$80000018", color));
  EXPECT_EQ(color, 0x80000018u);
  EXPECT_TRUE(TextToColor("clbtnface", color));
  EXPECT_EQ(color, 0x8000000Fu);
  color = 5;
  EXPECT_FALSE(TextToColor("", color));
  EXPECT_FALSE(TextToColor("clPurple2", color));
  EXPECT_FALSE(TextToColor("$", color));
  EXPECT_EQ(color, 5u);
}

TEST(FormFile, QuotesInTextsCannotBreakTheLine) {
  FormControlDesc label;
  label.caption = "Say \"fontname=\"x";
  label.width = label.height = 10;
  FormControlDesc back;
  ASSERT_TRUE(LineToControl(ControlToLine(label), back));
  EXPECT_EQ(back.caption, "Say 'fontname='x");
  EXPECT_EQ(back.fontName, "MS Sans Serif");

  // A caption ending like an attribute that follows it must not be read as that attribute.
  label.caption = "Pick fontcolor=";
  label.fontColor = clPurple;
  ASSERT_TRUE(LineToControl(ControlToLine(label), back));
  EXPECT_EQ(back.caption, "Pick fontcolor= ");
  EXPECT_EQ(back.fontColor, clPurple);

  // "~~" in a stored caption reads as a line break, which must not split the saved line.
  ASSERT_TRUE(
      LineToControl("control=\"label\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" "
                    "caption=\"one~~two\"",
                    back));
  EXPECT_EQ(back.caption, "one\r\ntwo");
  back.caption += "\nthree";
  const std::string line = ControlToLine(back);
  EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  FormControlDesc again;
  ASSERT_TRUE(LineToControl(line, again));
  EXPECT_EQ(again.caption, "one\r\ntwo\r\nthree");
}

TEST(FormFile, LinesEndInCrLf) {
  EXPECT_EQ(FormFileText("/t/a.dbf", {"one", "", "two"}),
            "filename=\"/t/a.dbf\"\r\none\r\n\r\ntwo\r\n");
}

TEST(FormFile, TableFoundWhereStoredOrInTables) {
  std::set<std::string> files = {"/old/clients.dbf", "/exe/tables/moved.dbf",
                                 "/exe/tables/clients.dbf"};
  auto exists = [&](const std::string& path) { return files.count(path) > 0; };
  EXPECT_EQ(FormTablePath("filename=\"/old/clients.dbf\"", "/exe/", exists), "/old/clients.dbf");
  EXPECT_EQ(FormTablePath("filename=\"/gone/moved.dbf\"", "/exe/", exists),
            "/exe/tables/moved.dbf");
  EXPECT_EQ(FormTablePath("filename=\"C:\\work\\tables\\moved.dbf\"", "/exe/", exists),
            "/exe/tables/moved.dbf");
  EXPECT_EQ(FormTablePath("filename=\"/gone/none.dbf\"", "/exe/", exists), "");
  EXPECT_EQ(FormTablePath("filename=\"\"", "/exe/", exists), "");
  EXPECT_EQ(FormTablePath("nothing here", "/exe/", exists), "");
}

}  // namespace
}  // namespace tavlo
