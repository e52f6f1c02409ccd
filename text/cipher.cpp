// The keyed byte cipher (a running 16-bit key advanced by the cipher text), its Base64
// wrappers, and the string hash. All arithmetic wraps around; unsigned types keep that defined.
#include <cstdint>

#include "text/qelstrings.h"

namespace tavlo {

namespace {

template <bool kEncrypt>
std::string Cipher(const std::string& bytes, int startKey, int multiplier, int increment) {
  std::uint32_t key = static_cast<std::uint32_t>(startKey);
  const std::uint32_t mult = static_cast<std::uint32_t>(multiplier);
  const std::uint32_t inc = static_cast<std::uint32_t>(increment);
  std::string out(bytes.size(), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint32_t in = static_cast<unsigned char>(bytes[i]);
    const std::uint32_t o = in ^ (key >> 8 & 0xFF);
    out[i] = static_cast<char>(o);
    // Both directions advance the key with the cipher byte, so decryption can follow it.
    key = ((key + (kEncrypt ? o : in)) * mult + inc) & 0xFFFF;
  }
  return out;
}

}  // namespace

std::string EncryptText(const std::string& bytes, int startKey, int multiplier, int increment) {
  return Cipher<true>(bytes, startKey, multiplier, increment);
}

std::string DecryptText(const std::string& bytes, int startKey, int multiplier, int increment) {
  return Cipher<false>(bytes, startKey, multiplier, increment);
}

std::string EncryptBase64(const std::string& bytes, int startKey, int multiplier, int increment) {
  return EncodeBase64(EncryptText(bytes, startKey, multiplier, increment));
}

std::string DecryptBase64(const std::string& text, int startKey, int multiplier, int increment) {
  return DecryptText(DecodeBase64(text), startKey, multiplier, increment);
}

std::int32_t HashText(const std::string& text) {
  if (text.empty()) return 0;
  std::uint32_t h = static_cast<unsigned char>(text[0]);
  for (std::size_t i = 1; i < text.size(); ++i) {
    h ^= static_cast<unsigned char>(text[i]) * h;
  }
  return static_cast<std::int32_t>(h);
}

}  // namespace tavlo
