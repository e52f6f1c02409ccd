// The trim of stored field bytes against a byte-by-byte reference: every byte value around
// the blank boundary at every position of fields up to three words long.
#include <gtest/gtest.h>

#include <string>

#include "dbf/fieldcodec.h"

namespace tavlo {
namespace {

std::string ReferenceTrim(const std::string& bytes) {
  std::size_t begin = 0, end = bytes.size();
  while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 32) --end;
  return bytes.substr(begin, end - begin);
}

TEST(FieldTrimTest, AgreesWithTheByteRuleEverywhere) {
  const unsigned char probes[] = {0x00, 0x01, 0x1F, 0x20, 0x21, 0x41, 0x7F, 0x80, 0x82, 0xA0, 0xFF};
  for (std::size_t length = 0; length <= 24; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (unsigned char probe : probes) {
        for (char fill : {' ', 'x'}) {
          std::string bytes(length, ' ');
          if (fill == 'x' && length > 0) bytes[0] = 'x';
          bytes[at] = static_cast<char>(probe);
          std::string_view trimmed =
              TrimFieldBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
          ASSERT_EQ(std::string(trimmed), ReferenceTrim(bytes))
              << "length " << length << " byte " << int(probe) << " at " << at;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tavlo
