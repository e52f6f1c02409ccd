// Translation of stored text between code pages through iconv, by byte table where both
// pages are single-byte, and the choice of a session page that can show a stored page.
#include "platform/textcodec.h"

#include <iconv.h>

#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/errors.h"

namespace tavlo {

namespace {

std::string IconvName(int page) {
  if (page == kUtf8CodePage) return "UTF-8";
  if (page > 28590 && page <= 28606) return "ISO-8859-" + std::to_string(page - 28590);
  return "CP" + std::to_string(page);
}

class Converter {
 public:
  Converter(int to, int from) : cd_(::iconv_open(IconvName(to).c_str(), IconvName(from).c_str())) {}
  ~Converter() {
    if (Valid()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of text as it can; an input sequence that does not convert becomes
  // '?' and is skipped (one byte), so nothing stops the conversion.
  std::string Run(std::string_view text, bool* complete = nullptr) const {
    std::string out;
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    if (complete) *complete = true;
    char buffer[256];
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      std::size_t rc = ::iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, sizeof buffer - outLeft);
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        out += '?';
        ++in;
        --inLeft;
        if (complete) *complete = false;
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    ::iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte).
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF5) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

bool CodePageAvailable(int page) {
  Converter probe(kUtf8CodePage, page);
  return page > 0 && probe.Valid();
}

bool IsSingleBytePage(int page) {
  return page != 932 && page != 936 && page != 949 && page != 950 && page != kUtf8CodePage;
}

TextCodec::TextCodec(int storedPage, int ansiPage) : stored_(storedPage), ansi_(ansiPage) {
  for (int page : {storedPage, ansiPage}) {
    if (!CodePageAvailable(page)) {
      throw Exception("Code page " + std::to_string(page) + " is not available");
    }
  }
  if (stored_ == ansi_) {
    lossless_ = true;
    byteTables_ = IsSingleBytePage(stored_);
    for (int b = 0; b < 256; ++b) toAnsi_[b] = fromAnsi_[b] = static_cast<unsigned char>(b);
    return;
  }
  if (IsSingleBytePage(stored_) && IsSingleBytePage(ansi_)) {
    byteTables_ = true;
    Converter toAnsi(ansi_, stored_), fromAnsi(stored_, ansi_);
    Converter storedDefined(kUtf8CodePage, stored_);
    for (int b = 0; b < 256; ++b) {
      toAnsi_[b] = fromAnsi_[b] = static_cast<unsigned char>(b);
      if (b < 0x80) continue;
      const std::string one(1, static_cast<char>(b));
      bool complete = false;
      std::string converted = toAnsi.Run(one, &complete);
      if (complete && converted.size() == 1) {
        toAnsi_[b] = static_cast<unsigned char>(converted[0]);
      } else {
        bool defined = false;
        storedDefined.Run(one, &defined);
        if (defined) lossless_ = false;  // a character of the stored page ANSI lacks
      }
      converted = fromAnsi.Run(one, &complete);
      if (complete && converted.size() == 1)
        fromAnsi_[b] = static_cast<unsigned char>(converted[0]);
    }
    return;
  }
  // A multi-byte side: only UTF-8 holds everything.
  lossless_ = ansi_ == kUtf8CodePage;
}

std::string TextCodec::ToAnsi(std::string_view stored) const {
  if (byteTables_) {
    std::string out(stored.size(), '\0');
    for (std::size_t i = 0; i < stored.size(); ++i) {
      out[i] = static_cast<char>(toAnsi_[static_cast<unsigned char>(stored[i])]);
    }
    return out;
  }
  if (IsAsciiText(stored) || stored_ == ansi_) return std::string(stored);
  Converter convert(ansi_, stored_);
  return convert.Run(stored);
}

std::string TextCodec::FromAnsi(std::string_view ansi, std::size_t maxBytes) const {
  if (byteTables_) {
    std::string out(std::min(ansi.size(), maxBytes), '\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<char>(fromAnsi_[static_cast<unsigned char>(ansi[i])]);
    }
    return out;
  }
  // Character by character, so that the cut never splits one.
  Converter convert(stored_, ansi_);
  std::string out;
  std::size_t at = 0;
  while (at < ansi.size()) {
    std::size_t length = 1;
    if (ansi_ == kUtf8CodePage) {
      length = Utf8Length(static_cast<unsigned char>(ansi[at]));
    } else if (!IsSingleBytePage(ansi_) && static_cast<unsigned char>(ansi[at]) >= 0x80) {
      length = 2;  // the double-byte pages lead with a byte of 0x81 and above
    }
    length = std::min(length, ansi.size() - at);
    std::string piece = convert.Run(ansi.substr(at, length));
    if (out.size() + piece.size() > maxBytes) break;
    out += piece;
    at += length;
  }
  return out;
}

int SuitableAnsiPage(int storedPage, int defaultAnsi) {
  if (storedPage <= 0 || storedPage == defaultAnsi) return defaultAnsi;
  try {
    if (TextCodec(storedPage, defaultAnsi).Lossless()) return defaultAnsi;
  } catch (const Exception&) {
    return defaultAnsi;
  }
  struct Family {
    int page;
    int ansi;
  };
  static const Family kFamilies[] = {
      {437, 1252},  {850, 1252}, {858, 1252},  {860, 1252}, {863, 1252},  {865, 1252},
      {1252, 1252}, {852, 1250}, {1250, 1250}, {866, 1251}, {855, 1251},  {1251, 1251},
      {737, 1253},  {869, 1253}, {1253, 1253}, {857, 1254}, {1254, 1254}, {862, 1255},
      {1255, 1255}, {864, 1256}, {1256, 1256}, {775, 1257}, {1257, 1257}, {874, 874},
  };
  // A page of a language family is shown in that family's ANSI page, as the desktop pairs
  // them, even where a few graphic characters of an OEM page have no counterpart there.
  for (const Family& family : kFamilies) {
    if (family.page == storedPage) return family.ansi;
  }
  return kUtf8CodePage;
}

}  // namespace tavlo
