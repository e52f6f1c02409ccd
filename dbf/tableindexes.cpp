// The index files of an open table: finding the production index, reading every attached
// file through the paged file that holds it, compiling the tags, and the listing text.
#include "dbf/tableindexes.h"

#include <cstdio>
#include <utility>

#include "dbf/columnlayout.h"
#include "dbf/dbffile.h"
#include "dbf/indexfile.h"
#include "dbf/keyencode.h"
#include "dbf/tablefiles.h"
#include "platform/asciitext.h"
#include "platform/filenames.h"

namespace tavlo {

namespace {

// The path an index file of extension lowerExt would have beside the table: the extension
// in upper case when the data file's is.
std::string CompanionName(const std::string& dataPath, const std::string& lowerExt) {
  const std::string ext = ExtractFileExt(dataPath);
  const bool upper = !ext.empty() && ext == UpperAscii(ext) && ext != LowerAscii(ext);
  return ChangeFileExt(dataPath, upper ? UpperAscii(lowerExt) : lowerExt);
}

// Reads a paged file's bytes while holding one use of it, so that the reader keeps the file
// open (and shared as the table holds it) for as long as it lives. Never writes.
class THeldFileStream final : public ByteStream {
 public:
  explicit THeldFileStream(TPagedFile* file) : file_(file) {}
  ~THeldFileStream() override { TPagedFile::Release(file_); }
  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    return file_->Stream().ReadAt(offset, buffer, size);
  }
  void WriteAt(std::int64_t, const void*, std::size_t) override {
    throw EWriteError("Stream write error");
  }
  std::int64_t Size() override { return file_->Stream().Size(); }
  void Truncate(std::int64_t) override { throw EWriteError("Stream write error"); }
  std::string FileId() override { return file_->Stream().FileId(); }

 private:
  TPagedFile* file_;
};

std::string KeyTypeText(const TAttachedTag& tag) {
  if (tag.key) return std::string(1, KeyKindLetter(tag.key->Encoding().kind));
  switch (tag.Info().keyType) {
    case TIndexKeyType::Character:
      return "C";
    case TIndexKeyType::Numeric:
      return "N";
    case TIndexKeyType::Date:
      return "D";
    case TIndexKeyType::Unknown:
      break;
  }
  return "?";
}

}  // namespace

TProductionIndex FindProductionIndex(const TDbfFile& file, const std::string& dataPath) {
  TProductionIndex found;
  const std::uint8_t flags = file.TableFlags();
  const bool dBaseIII = file.VersionByte() == 0x03;
  if ((flags & 0x01) != 0 && (file.IsFoxPro() || dBaseIII)) {
    found.path = FindCompanionFile(dataPath, ".cdx");
    if (!found.path.empty()) return found;
    // A dBase III table marked by a dBase IV program says .mdx with the same bit.
    if (dBaseIII) {
      found.path = FindCompanionFile(dataPath, ".mdx");
      if (found.path.empty()) {
        found.missing = CompanionName(dataPath, ".cdx") + " or " + CompanionName(dataPath, ".mdx");
      }
      return found;
    }
    found.missing = CompanionName(dataPath, ".cdx");
    return found;
  }
  if (flags != 0 && !file.IsFoxPro()) {
    found.path = FindCompanionFile(dataPath, ".mdx");
    if (found.path.empty()) found.missing = CompanionName(dataPath, ".mdx");
  }
  return found;
}

TIndexOpenOptions TableIndexOpenOptions() {
  TIndexOpenOptions options;
  options.walkTrees = false;
  return options;
}

std::shared_ptr<const TIndexReader> ReadHeldIndexFile(const std::string& path, OpenMode mode,
                                                      bool walkTrees) {
  TIndexFormat format = TIndexFormat::Cdx;
  if (!IndexFormatOfPath(path, format)) {
    throw EIndexFileError::UnknownExtension(path);
  }
  TPagedFile* held = TPagedFile::Lookup(path);
  if (held == nullptr) held = new TIndexFile(path, mode);
  auto bytes = std::make_shared<TIndexBytes>(std::make_unique<THeldFileStream>(held));
  TIndexOpenOptions options = TableIndexOpenOptions();
  options.walkTrees = walkTrees;
  return ReadIndexBytes(format, std::move(bytes), path, options);
}

void AttachTableIndexFiles(TTableIndexes& indexes, const TDbfFile& file,
                           const TColumnLayout& layout, const std::string& dataPath,
                           const std::vector<std::string>& userPaths, bool walkTrees) {
  indexes.Clear();
  const TProductionIndex production = FindProductionIndex(file, dataPath);
  indexes.SetMissingProduction(production.missing);
  // Whatever the header says, a .mdx beside the table is held and listed, as it always was.
  const std::string mdx = FindCompanionFile(dataPath, ".mdx");
  std::vector<std::pair<std::string, bool>> paths;
  if (!production.path.empty()) paths.emplace_back(production.path, true);
  if (!mdx.empty() && LowerAscii(mdx) != LowerAscii(production.path))
    paths.emplace_back(mdx, false);
  for (const std::string& path : userPaths) paths.emplace_back(path, false);
  for (const auto& [path, isProduction] : paths) {
    if (indexes.FindFile(path) >= 0) continue;
    try {
      indexes.Add(ReadHeldIndexFile(path, OpenMode::ReadOnly, walkTrees), isProduction, file,
                  layout);
    } catch (const Exception& failure) {
      // A file that cannot be read never stops the table opening; it is listed with why.
      indexes.AddUnreadable({path, failure.what(), isProduction});
    }
  }
}

const TAttachedTag* TTableIndexes::FindTag(std::string_view name) const {
  for (const TAttachedTag& tag : tags_) {
    if (EqualNoCaseAscii(tag.Info().name, name)) return &tag;
  }
  return nullptr;
}

int TTableIndexes::FindFile(const std::string& path) const {
  const std::string lower = LowerAscii(path);
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (LowerAscii(files_[i].reader->Info().path) == lower) return static_cast<int>(i);
  }
  return -1;
}

void TTableIndexes::Add(std::shared_ptr<const TIndexReader> reader, bool production,
                        const TDbfFile& file, const TColumnLayout& layout) {
  files_.push_back({std::move(reader), production});
  CompileTags(files_.size() - 1, file, layout);
}

void TTableIndexes::CompileTags(std::size_t index, const TDbfFile& data,
                                const TColumnLayout& layout) {
  const Attached& file = files_[index];
  const TKeyExprTable table = KeyExprTableOf(data, layout);
  for (int t = 0; t < file.reader->TagCount(); ++t) {
    TAttachedTag tag;
    tag.reader = file.reader.get();
    tag.tag = t;
    tag.production = file.production;
    tag.path = file.reader->Info().path;
    if (file.reader->HeaderDamaged(t)) {
      tag.notUnderstood = "its header could not be read";
      tags_.push_back(std::move(tag));
      continue;
    }
    try {
      tag.key = std::make_shared<TTagKey>(
          TTagKey::Compile(file.reader->Info().format, file.reader->Tag(t), table));
      tag.understood = true;
    } catch (const EKeyExprNotUnderstood& refused) {
      tag.notUnderstood = refused.what();
    }
    tags_.push_back(std::move(tag));
  }
}

void TTableIndexes::Recompile(const TDbfFile& file, const TColumnLayout& layout) {
  tags_.clear();
  for (std::size_t i = 0; i < files_.size(); ++i) CompileTags(i, file, layout);
}

void TTableIndexes::Clear() {
  tags_.clear();
  files_.clear();
  unreadable_.clear();
  missingProduction_.clear();
}

std::string IndexListText(const TTableIndexes& indexes) {
  std::string text;
  const std::size_t files =
      static_cast<std::size_t>(indexes.FileCount()) + indexes.Unreadable().size();
  text += "Index files: " + (files == 0 ? std::string("none") : std::to_string(files)) + "\n";
  for (int i = 0; i < indexes.FileCount(); ++i) {
    const TIndexFileInfo& info = indexes.File(i).Info();
    text += "  " + info.path + ": " + IndexFormatName(info.format);
    if (indexes.IsProduction(i)) text += ", production";
    if (!info.damage.empty()) text += ", damaged: " + info.damage;
    text += "\n";
  }
  for (const TUnreadableIndex& file : indexes.Unreadable()) {
    text += "  " + file.path + ": " + (file.production ? "production, " : "") +
            "unreadable: " + file.reason + "\n";
  }
  if (!indexes.MissingProduction().empty()) {
    text += "  production index " + indexes.MissingProduction() + " is missing\n";
  }
  if (indexes.Tags().empty()) return text;
  text += "Tags: " + std::to_string(indexes.Tags().size()) + "\n";
  for (const TAttachedTag& tag : indexes.Tags()) {
    const TIndexTag& info = tag.Info();
    std::string flags;
    for (const auto& [set, word] :
         {std::pair{info.unique, "unique"}, std::pair{info.descending, "descending"},
          std::pair{info.candidate, "candidate"}}) {
      if (set) flags += (flags.empty() ? "" : ", ") + std::string(word);
    }
    text += "  " + info.name + " (" + ExtractFileName(tag.path) + "): key " + info.keyExpression +
            "; for " + (info.forExpression.empty() ? "none" : info.forExpression) + "; flags " +
            (flags.empty() ? "none" : flags) + "; key " + KeyTypeText(tag) + " " +
            std::to_string(info.keyLength) + "; keys " +
            (info.keyCount < 0 ? std::string("unknown") : std::to_string(info.keyCount)) +
            "; understood " + (tag.understood ? "yes" : "no: " + tag.notUnderstood);
    if (!info.readable) text += "; damaged: " + info.damage;
    text += "\n";
  }
  return text;
}

}  // namespace tavlo
