// Base64 encoding (RFC 4648 alphabet, padded, no line breaks) and the lenient decoder that
// stored files rely on: only the length is checked, unknown characters decode as 63.
#include <cstddef>
#include <cstdint>

#include "platform/errors.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::uint32_t SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint32_t>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<std::uint32_t>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0' + 52);
  if (c == '+') return 62;
  return 63;
}

}  // namespace

std::string EncodeBase64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16 |
                                static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += kAlphabet[group >> 6 & 63];
    out += kAlphabet[group & 63];
  }
  const std::size_t left = bytes.size() - i;
  if (left > 0) {
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += left == 2 ? kAlphabet[group >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string DecodeBase64(const std::string& text) {
  if (text.size() % 4 != 0) throw EConvertError("Base64: Incorrect string format");
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool lastGroup = i + 4 == text.size();
    std::size_t count = 3;
    if (lastGroup && text[i + 2] == '=') {
      count = 1;
    } else if (lastGroup && text[i + 3] == '=') {
      count = 2;
    }
    std::uint32_t group = SextetOf(text[i]) << 18 | SextetOf(text[i + 1]) << 12;
    if (count >= 2) group |= SextetOf(text[i + 2]) << 6;
    if (count == 3) group |= SextetOf(text[i + 3]);
    out += static_cast<char>(group >> 16 & 0xFF);
    if (count >= 2) out += static_cast<char>(group >> 8 & 0xFF);
    if (count == 3) out += static_cast<char>(group & 0xFF);
  }
  return out;
}

}  // namespace tavlo
