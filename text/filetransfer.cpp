// Whole-file transfers between a file and a string, and the file lister. All file access
// goes through the platform's file system; errors propagate to the caller unchanged.
#include <cstddef>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

// Desktop file masks: '*' any run, '?' one character, letters without regard to case (as the
// desktop file system compares names); "*.*" also matches names without a dot.
bool MaskMatches(const std::string& mask, const std::string& name) {
  if (mask == "*.*") return true;
  std::size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (m < mask.size() &&
               (mask[m] == '?' || FoldTable[static_cast<unsigned char>(mask[m])] ==
                                      FoldTable[static_cast<unsigned char>(name[n])])) {
      ++m;
      ++n;
    } else if (starM != std::string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

void SaveStringToFile(const std::string& path, const std::string& text) {
  Files().ReplaceFile(path, text);
}

std::string LoadFileToString(const std::string& path) {
  std::unique_ptr<ByteStream> file = Files().Open(path, OpenMode::ReadOnly);
  const std::int64_t size = file->Size();
  std::string text(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    const std::size_t got =
        file->ReadAt(static_cast<std::int64_t>(done), &text[done], text.size() - done);
    // A file that shrank under us must not come back padded with zero bytes.
    if (got == 0) throw EReadError();
    done += got;
  }
  return text;
}

std::string LoadTextFileLines(const std::string& path) {
  const std::string bytes = LoadFileToString(path);
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 16 + 2);
  std::size_t i = 0;
  while (i < bytes.size()) {
    const char c = bytes[i++];
    if (c != '\r' && c != '\n') {
      text += c;
      continue;
    }
    if (c == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
    text += "\r\n";
  }
  return text;
}

void ListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list,
               const TWorkMeter& meter) {
  // Folder and mask are joined as given; the directory searched is what precedes the last
  // separator of the joined path, and the rest is the pattern.
  const std::string joined = folder + mask;
  const std::size_t slash = joined.rfind(kPathSeparator);
  const std::string directory =
      slash == std::string::npos ? std::string(".") : joined.substr(0, slash + 1);
  const std::string pattern = slash == std::string::npos ? joined : joined.substr(slash + 1);
  if (pattern.empty() || !Files().DirectoryExists(directory)) return;
  std::vector<DirectoryEntry> entries;
  try {
    entries = Files().ListDirectory(directory);
  } catch (const Exception&) {
    return;  // an unreadable folder lists nothing, as a failed search would
  }
  for (const DirectoryEntry& entry : entries) {
    meter.Step();
    if (entry.isRegularFile && MaskMatches(pattern, entry.name))
      list.push_back(folder + entry.name);
  }
}

}  // namespace tavlo
