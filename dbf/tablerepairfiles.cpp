// The repaired copy's files: names, the rejects CSV, and writing all or none of them.
#include "dbf/tablerepairfiles.h"

#include "dbf/commitmark.h"
#include "dbf/tablepack.h"

#include <cstdio>
#include <vector>

#include "dbf/dbferrors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

std::string CsvValue(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string Printable(const std::string& bytes) {
  std::string text = bytes;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

std::string HexBytes(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  char pair[3];
  for (char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
    text += pair;
  }
  return text;
}

bool IsUpper(const std::string& text) {
  for (char c : text)
    if (c >= 'a' && c <= 'z') return false;
  return true;
}

}  // namespace

void TRejects::Add(const std::string& record, const std::string& field, const std::string& bytes,
                   const std::string& problem) {
  rows_ += record + "," + CsvValue(field) + "," + CsvValue(Printable(bytes)) + "," +
           HexBytes(bytes) + "," + CsvValue(problem) + "\r\n";
  ++count_;
}

const std::string& TRejects::Text() {
  text_ = "record,field,stored,hex,problem\r\n" + rows_;
  return text_;
}

TRepairFiles::TRepairFiles(const std::string& outputPath) {
  const std::string name = ExtractFileName(outputPath);
  const std::string ext = ExtractFileExt(name);
  if (name.empty() || name.size() == ext.size())
    throw EDatabaseError("The repaired copy needs a file name");
  if (!ext.empty() && CompareTextNoCase(ext, ".dbf") != 0)
    throw EDatabaseError("The repaired copy " + outputPath +
                         " must be a .dbf file (its memo file is named after it with .dbt)");
  data = ext.empty() ? outputPath + ".dbf" : outputPath;
  const std::string base = ChangeFileExt(data, "");
  // The memo file's extension follows the case of the data file's, as other programs expect.
  memo = base + (!ext.empty() && IsUpper(ext) ? ".DBT" : ".dbt");
  rejects = base + ".rejects.csv";
}

void TRepairFiles::RefuseExisting(const std::string& path) {
  if (Files().PathExists(path))
    throw EDatabaseError(path + " already exists; the repaired copy must be a new file");
}

void TRepairFiles::Write(const std::string& dataBytes, const std::string* memoBytes,
                         const std::string* rejectsText) const {
  RefuseExisting(data);
  if (memoBytes != nullptr) RefuseExisting(memo);
  if (rejectsText != nullptr) RefuseExisting(rejects);
  // The data file last: a copy that opens as a table is always complete. Behind the commit
  // mark a killed repair leaves nothing a retry would meet, and no part of a file.
  std::vector<TNewFile> order;
  if (memoBytes != nullptr) order.push_back({memo, *memoBytes});
  if (rejectsText != nullptr) order.push_back({rejects, *rejectsText});
  order.push_back({data, dataBytes});
  PutNewFiles(RepairMarkPath(data), "repair", order);
}

}  // namespace tavlo
