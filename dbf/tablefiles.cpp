// Data file and companion file names, found whatever the case of their extensions.
#include "dbf/tablefiles.h"

#include "platform/asciitext.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

namespace tavlo {

namespace {

bool HasUpperLetter(const std::string& text) {
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') return true;
  }
  return false;
}

// base + an extension equal to lowerExt ignoring case, in the order of preference.
std::string FindWithExtension(const std::string& base, const std::string& lowerExt,
                              bool upperFirst) {
  const std::string first = upperFirst ? UpperAscii(lowerExt) : lowerExt;
  const std::string second = upperFirst ? lowerExt : UpperAscii(lowerExt);
  if (Files().FileExists(base + first)) return base + first;
  if (Files().FileExists(base + second)) return base + second;
  // Mixed case ("Kunden.Dbt"): look through the folder once.
  const std::string folder = ExtractFilePath(base);
  const std::string wanted = LowerAscii(ExtractFileName(base) + lowerExt);
  const std::string baseName = ExtractFileName(base);
  for (const DirectoryEntry& entry : Files().ListDirectory(folder.empty() ? "." : folder)) {
    if (!entry.isRegularFile || entry.name.size() != wanted.size()) continue;
    // The name part must match exactly; only the extension may differ in case.
    if (entry.name.compare(0, baseName.size(), baseName) != 0) continue;
    if (LowerAscii(entry.name) == wanted) return folder + entry.name;
  }
  return {};
}

std::string BaseOf(const std::string& path) {
  const std::string ext = ExtractFileExt(path);
  return path.substr(0, path.size() - ext.size());
}

}  // namespace

std::string ResolveDataFilePath(const std::string& tablePath) {
  const std::string ext = ExtractFileExt(tablePath);
  if (LowerAscii(ext) == ".dbf" && Files().FileExists(tablePath)) return tablePath;
  const std::string lowerPath = ChangeFileExt(tablePath, ".dbf");
  if (Files().FileExists(lowerPath)) return lowerPath;
  std::string found = FindWithExtension(BaseOf(lowerPath), ".dbf", false);
  return found.empty() ? lowerPath : found;
}

std::string FindCompanionFile(const std::string& dataPath, const std::string& lowerExt) {
  return FindWithExtension(BaseOf(dataPath), lowerExt, HasUpperLetter(ExtractFileExt(dataPath)));
}

}  // namespace tavlo
