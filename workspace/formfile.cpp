// Form file lines to control descriptions and back, colour texts, and the form's table.
#include "workspace/formfile.h"

#include <cstdio>

#include "platform/filenames.h"
#include "text/qelstrings.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

namespace {

// Point sizes beyond this are taken for damage: glyphs that large would only exhaust memory.
constexpr int kLargestFontSize = 1000;

bool ReadWholeNumber(const std::string& text, int& value) {
  std::int32_t number = 0;
  if (!TextToInteger(text, number)) return false;
  value = number;
  return true;
}

std::string YesNo(bool on) {
  return on ? "yes" : "no";
}

const char* const kAttributeNames[] = {
    "control",  "left",     "top",       "width",    "height",     "caption",       "field",
    "fontname", "fontsize", "fontcolor", "fontbold", "fontitalic", "fontunderline", "filename"};

// A value as a line can hold it: a double quote would end the value, so it becomes a single
// quote; a line break would end the line, so it becomes "~~", which reads back as CR LF. A
// value ending in an attribute's name and "=" would, with its closing quote, read as that
// attribute: a blank after it keeps the line readable.
std::string Storable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      out += '\'';
    } else if (c == '\r' || c == '\n') {
      out += "~~";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  for (const char* name : kAttributeNames) {
    const std::string ending = std::string(name) + "=";
    if (out.size() >= ending.size() &&
        EqualTextNoCase(out.substr(out.size() - ending.size()), ending)) {
      out += ' ';
      break;
    }
  }
  return out;
}

// Appends name="value": what AttrSet does on a line that lacks the name, without looking for
// the name inside the values already written.
void Append(std::string& line, const std::string& name, const std::string& value) {
  if (!line.empty()) line += ' ';
  line += name + "=\"" + value + "\"";
}

}  // namespace

const char* FormControlWord(FormControlKind kind) {
  switch (kind) {
    case FormControlKind::Label:
      return "label";
    case FormControlKind::Edit:
      return "edit";
    case FormControlKind::Memo:
      return "memo";
    case FormControlKind::CheckBox:
      return "checkbox";
  }
  return "";
}

const std::vector<ColorIdentifier>& ColorIdentifiers() {
  static const std::vector<ColorIdentifier> table = [] {
    std::vector<ColorIdentifier> t = {
        {"clBlack", 0x000000}, {"clMaroon", 0x000080},  {"clGreen", 0x008000},
        {"clOlive", 0x008080}, {"clNavy", 0x800000},    {"clPurple", 0x800080},
        {"clTeal", 0x808000},  {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
        {"clRed", 0x0000FF},   {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},  {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
        {"clWhite", 0xFFFFFF},
    };
    static const char* const kSystem[] = {
        "clScrollBar",    "clBackground",  "clActiveCaption", "clInactiveCaption",
        "clMenu",         "clWindow",      "clWindowFrame",   "clMenuText",
        "clWindowText",   "clCaptionText", "clActiveBorder",  "clInactiveBorder",
        "clAppWorkSpace", "clHighlight",   "clHighlightText", "clBtnFace",
        "clBtnShadow",    "clGrayText",    "clBtnText",       "clInactiveCaptionText",
        "clBtnHighlight", "cl3DDkShadow",  "cl3DLight",       "clInfoText",
        "clInfoBk"};
    TColor value = kSystemColorBase;
    for (const char* name : kSystem) t.push_back({name, value++});
    t.push_back({"clNone", clNone});
    return t;
  }();
  return table;
}

std::string ColorToText(TColor color) {
  for (const ColorIdentifier& entry : ColorIdentifiers()) {
    if (entry.value == color) return entry.name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(color));
  return text;
}

bool TextToColor(const std::string& text, TColor& color) {
  for (const ColorIdentifier& entry : ColorIdentifiers()) {
    if (EqualTextNoCase(text, entry.name)) {
      color = entry.value;
      return true;
    }
  }
  std::int32_t number = 0;
  if (!TextToInteger(text, number)) return false;
  color = static_cast<TColor>(number);
  return true;
}

bool LineToControl(const std::string& line, FormControlDesc& desc) {
  FormControlDesc result;
  const std::string control = AttrGet(line, "control");
  if (control.empty()) return false;
  if (control == "label") {
    result.caption = AttrGet(line, "caption");
    if (result.caption.empty()) return false;
  } else {
    result.field = AttrGet(line, "field");
    if (result.field.empty()) return false;
  }
  result.bold = AttrGet(line, "fontbold") == "yes";
  result.italic = AttrGet(line, "fontitalic") == "yes";
  result.underline = AttrGet(line, "fontunderline") == "yes";
  const std::string fontName = AttrGet(line, "fontname");
  if (!fontName.empty()) result.fontName = fontName;
  const std::string fontSize = AttrGet(line, "fontsize");
  int size = 8;
  if (!fontSize.empty() && ReadWholeNumber(fontSize, size) && size > 0 &&
      size <= kLargestFontSize) {
    result.fontSize = size;
  }
  const std::string fontColor = AttrGet(line, "fontcolor");
  if (!fontColor.empty() && !TextToColor(fontColor, result.fontColor)) result.fontColor = clBlack;
  if (!ReadWholeNumber(AttrGet(line, "left"), result.left) ||
      !ReadWholeNumber(AttrGet(line, "top"), result.top) ||
      !ReadWholeNumber(AttrGet(line, "width"), result.width) ||
      !ReadWholeNumber(AttrGet(line, "height"), result.height)) {
    return false;
  }
  if (control == "edit") {
    result.kind = FormControlKind::Edit;
  } else if (control == "label") {
    result.kind = FormControlKind::Label;
  } else if (control == "memo") {
    result.kind = FormControlKind::Memo;
  } else if (control == "checkbox") {
    result.kind = FormControlKind::CheckBox;
  } else {
    return false;
  }
  desc = std::move(result);
  return true;
}

std::string ControlToLine(const FormControlDesc& desc) {
  std::string line;
  Append(line, "control", FormControlWord(desc.kind));
  Append(line, "left", std::to_string(desc.left));
  Append(line, "top", std::to_string(desc.top));
  Append(line, "width", std::to_string(desc.width));
  Append(line, "height", std::to_string(desc.height));
  if (desc.kind == FormControlKind::Label)
    Append(line, "caption", Storable(desc.caption));
  else
    Append(line, "field", Storable(desc.field));
  Append(line, "fontname", Storable(desc.fontName));
  Append(line, "fontsize", std::to_string(desc.fontSize));
  Append(line, "fontcolor", ColorToText(desc.fontColor));
  Append(line, "fontbold", YesNo(desc.bold));
  Append(line, "fontitalic", YesNo(desc.italic));
  Append(line, "fontunderline", YesNo(desc.underline));
  return line;
}

std::string FormFileText(const std::string& tablePath, const std::vector<std::string>& lines) {
  std::string text = "filename=\"" + tablePath + "\"\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string FormTablePath(const std::string& firstLine, const std::string& exeFolder,
                          const std::function<bool(const std::string&)>& fileExists) {
  const std::string stored = AttrGet(firstLine, "filename");
  if (!stored.empty() && fileExists(stored)) return stored;
  // ExtractFileName splits at "\\" too, so a form saved under Windows finds its table here.
  const std::string name = ExtractFileName(stored);
  if (name.empty()) return std::string();
  const std::string moved = TWorkspaceFolders(exeFolder).TableFile(name);
  return fileExists(moved) ? moved : std::string();
}

}  // namespace tavlo
