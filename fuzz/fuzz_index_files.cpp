// Fuzz target: reads the input as an index file of the format its first byte picks (modulo 4:
// CDX, MDX, NDX, NTX), walks every tag with the cursor, seeks the first, a middle and a
// made-up key, and decodes the keys met as every key type. Covers the four readers, the tree
// check and the key decoding. Checks only that nothing crashes, leaks, reads out of bounds or
// hangs; refusals and damage are expected.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbf/indexreader.h"

namespace {

using namespace tavlo;

void Decode(TIndexFormat format, const TIndexTag& tag, const std::string& key) {
  DecodeTagKey(format, tag, key);
  for (TIndexKeyType type : {TIndexKeyType::Character, TIndexKeyType::Numeric, TIndexKeyType::Date,
                             TIndexKeyType::Unknown}) {
    DecodeIndexKey(format, type, key, tag.nullMarker);
  }
}

void Exercise(const TIndexReader& reader, const std::string& input) {
  const TIndexFormat format = reader.Info().format;
  for (int t = 0; t < reader.TagCount(); ++t) {
    const TIndexTag& tag = reader.Tag(t);
    try {
      TIndexCursor cursor = reader.Cursor(t);
      std::string first, middle;
      std::int64_t entries = 0;
      for (bool more = cursor.First(); more; more = cursor.Next(), ++entries) {
        if (entries == 0) first = cursor.Key();
        if (entries == tag.keyCount / 2) middle = cursor.Key();
        if (entries < 64) Decode(format, tag, cursor.Key());
      }
      for (const std::string& key :
           {first, middle, input.substr(0, static_cast<std::size_t>(tag.keyLength))}) {
        if (cursor.Seek(key)) cursor.Next();
      }
    } catch (const EIndexDamage&) {
      // Damage the cursor meets is what the check reported.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 1) return 0;
  static const TIndexFormat kFormats[] = {TIndexFormat::Cdx, TIndexFormat::Mdx, TIndexFormat::Ndx,
                                          TIndexFormat::Ntx};
  static const char* const kPaths[] = {"/f/t.cdx", "/f/t.mdx", "/f/t.ndx", "/f/t.ntx"};
  const int pick = bytes[0] % 4;
  const std::string image(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  try {
    const auto reader = ReadIndexImage(kFormats[pick], image, kPaths[pick]);
    Exercise(*reader, image);
  } catch (const EIndexFileError&) {
    // Not an index file of that format.
  }
  return 0;
}
