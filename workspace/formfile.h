// Form files: a data-entry form stored as text, one line naming the table and one attribute
// line per control, turned into control descriptions and back. Qt-free: it never creates a
// widget, opens a table or shows a message; the "Form" page does those with what it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavlo {

// The four kinds of form control, by the word a form file uses for each.
enum class FormControlKind { Label, Edit, Memo, CheckBox };
const char* FormControlWord(FormControlKind kind);

// A colour as the form file holds it: 0x00BBGGRR, or a system colour 0x80000000 + n.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor kSystemColorBase = 0x80000000;

// The identifier of the colour, or "$" and eight upper-case hexadecimal digits.
std::string ColorToText(TColor color);
// An identifier of the 42 (without regard to case) or a whole number (decimal, or hexadecimal
// after "$"); false for anything else, and color is left alone.
bool TextToColor(const std::string& text, TColor& color);
// The identifiers in table order with their values (42 entries).
struct ColorIdentifier {
  const char* name;
  TColor value;
};
const std::vector<ColorIdentifier>& ColorIdentifiers();

// One control of a form: what a line stores.
struct FormControlDesc {
  FormControlKind kind = FormControlKind::Label;
  int left = 0, top = 0, width = 0, height = 0;
  std::string caption;  // labels
  std::string field;    // edit, memo, check box
  std::string fontName = "MS Sans Serif";
  int fontSize = 8;  // points
  TColor fontColor = clBlack;
  bool bold = false, italic = false, underline = false;

  bool operator==(const FormControlDesc&) const = default;
};

// A control description from an attribute line; false (desc untouched) when the line is not
// a valid control: empty control, a label without caption or another kind without field, a
// missing or non-numeric geometry number, or a kind word other than the four (with case).
// Defaults fill an empty font name ("MS Sans Serif"), size (8) and colour (black); an invalid
// colour is black, a size that is not a whole number is 8, only "yes" sets a style.
bool LineToControl(const std::string& line, FormControlDesc& desc);

// The attribute line of a control, attributes in the file's order. A value cannot hold a
// double quote (it would end the value) nor a line break (it would end the line): double
// quotes are written as single quotes, line breaks as "~~" (read back as CR LF), and a value
// ending in an attribute's name and "=" gets a blank after it, so no value reads as another
// attribute.
std::string ControlToLine(const FormControlDesc& desc);

// The text of a form file: the filename line, then every line, each ended with CR LF.
std::string FormFileText(const std::string& tablePath, const std::vector<std::string>& lines);

// The table a form file's first line names: its filename value when such a file exists,
// otherwise its file name part in the tables folder of the workspace in exeFolder when that
// exists, otherwise "".
std::string FormTablePath(const std::string& firstLine, const std::string& exeFolder,
                          const std::function<bool(const std::string&)>& fileExists);

}  // namespace tavlo
