// Code-page translation: OEM <-> ANSI byte tables and ANSI <-> UTF-8, all built once with
// iconv and then applied by table lookup, so no string conversion calls iconv. Also the choice
// of the code-page pair from the locale and the environment.

#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/charsetconversion.h"
#include "platform/desktophost.h"
#include "platform/errors.h"

namespace tavlo {

std::string CodePages::OemToAnsi(const std::string& text) const {
  std::string result(text.size(), '\0');
  OemToAnsi(text.data(), result.data(), text.size());
  return result;
}

std::string CodePages::AnsiToOem(const std::string& text) const {
  std::string result(text.size(), '\0');
  AnsiToOem(text.data(), result.data(), text.size());
  return result;
}

bool IconvConvert(const std::string& text, const char* from, const char* to, std::string& out) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = result.data();
  std::size_t outLeft = result.size();
  std::size_t rc = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  bool ok = rc != static_cast<std::size_t>(-1) && inLeft == 0;
  ::iconv_close(cd);
  if (!ok) return false;
  result.resize(result.size() - outLeft);
  out = std::move(result);
  return true;
}

namespace {

std::string IconvName(int codePage) {
  return "CP" + std::to_string(codePage);
}

// One byte of a single-byte page converted to another page, or nothing.
bool ConvertByte(iconv_t cd, unsigned char byte, std::string& out) {
  ::iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
  char input = static_cast<char>(byte);
  char output[8];
  char* in = &input;
  std::size_t inLeft = 1;
  char* outPtr = output;
  std::size_t outLeft = sizeof output;
  std::size_t rc = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  // Flush whatever a stateful converter (CP1258's combining marks) still holds.
  ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.assign(output, sizeof output - outLeft);
  return !out.empty();
}

class IconvHandle {
 public:
  IconvHandle(const std::string& to, const std::string& from)
      : cd_(::iconv_open(to.c_str(), from.c_str())) {}
  ~IconvHandle() {
    if (valid()) ::iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// The byte of `from` that means the same character in `to`; bytes without a counterpart
// map to themselves, as the desktop's translation leaves them.
std::array<unsigned char, 256> ByteTable(int fromPage, int toPage) {
  std::array<unsigned char, 256> table{};
  IconvHandle cd(IconvName(toPage), IconvName(fromPage));
  if (!cd.valid())
    throw Exception("Code page " + std::to_string(fromPage) + " or " + std::to_string(toPage) +
                    " is not available");
  std::string converted;
  for (int b = 0; b < 256; ++b) {
    table[b] = static_cast<unsigned char>(b);
    if (b < 0x80) continue;
    if (ConvertByte(cd.get(), static_cast<unsigned char>(b), converted) && converted.size() == 1)
      table[b] = static_cast<unsigned char>(converted[0]);
  }
  return table;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The next code point of UTF-8 text, or nothing (one byte consumed) when the bytes are not
// well-formed UTF-8.
bool NextCodePoint(const std::string& text, std::size_t& at, char32_t& c) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  int length = 0;
  if (lead < 0x80) {
    length = 1;
  } else if (lead >= 0xC2 && lead < 0xE0) {
    length = 2;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4;
  }
  if (length == 0 || at + length > text.size()) {
    ++at;
    return false;
  }
  c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (int i = 1; i < length; ++i) {
    unsigned char next = byte(at + i);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return false;
    }
    c = (c << 6) | (next & 0x3F);
  }
  static const char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++at;
    return false;
  }
  at += length;
  return true;
}

class TableCodePages final : public CodePages {
 public:
  TableCodePages(int oem, int ansi)
      : oem_(oem), ansi_(ansi), oemToAnsi_(ByteTable(oem, ansi)), ansiToOem_(ByteTable(ansi, oem)) {
    IconvHandle cd("UTF-8", IconvName(ansi));
    if (!cd.valid()) throw Exception("Code page " + std::to_string(ansi) + " is not available");
    std::string utf8;
    for (int b = 0; b < 256; ++b) {
      char32_t c = static_cast<char32_t>(b);
      if (b >= 0x80 && ConvertByte(cd.get(), static_cast<unsigned char>(b), utf8)) {
        std::size_t at = 0;
        char32_t decoded = 0;
        if (NextCodePoint(utf8, at, decoded) && at == utf8.size()) c = decoded;
      }
      // A byte the page leaves undefined becomes the control character of the same number,
      // so that ANSI -> UTF-8 -> ANSI gives back every byte.
      toUtf8_[b].clear();
      AppendUtf8(toUtf8_[b], c);
      if (b >= 0x80) fromUnicode_.emplace(c, static_cast<unsigned char>(b));
    }
  }

  int OemCodePage() const override { return oem_; }
  int AnsiCodePage() const override { return ansi_; }

  void OemToAnsi(const char* from, char* to, std::size_t size) const override {
    Translate(oemToAnsi_, from, to, size);
  }
  void AnsiToOem(const char* from, char* to, std::size_t size) const override {
    Translate(ansiToOem_, from, to, size);
  }

  std::string AnsiToUtf8(const std::string& text) const override {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char ch : text) out += toUtf8_[static_cast<unsigned char>(ch)];
    return out;
  }

  std::string Utf8ToAnsi(const std::string& text) const override {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
      unsigned char lead = static_cast<unsigned char>(text[at]);
      if (lead < 0x80) {
        out += static_cast<char>(lead);
        ++at;
        continue;
      }
      char32_t c = 0;
      if (!NextCodePoint(text, at, c)) {
        out += '?';
        continue;
      }
      auto found = fromUnicode_.find(c);
      out += found == fromUnicode_.end() ? '?' : static_cast<char>(found->second);
    }
    return out;
  }

 private:
  static void Translate(const std::array<unsigned char, 256>& table, const char* from, char* to,
                        std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
      to[i] = static_cast<char>(table[static_cast<unsigned char>(from[i])]);
  }

  int oem_;
  int ansi_;
  std::array<unsigned char, 256> oemToAnsi_;
  std::array<unsigned char, 256> ansiToOem_;
  std::array<std::string, 256> toUtf8_;
  std::unordered_map<char32_t, unsigned char> fromUnicode_;
};

// A session whose ANSI page is UTF-8 (65001): its strings are UTF-8 already. Table text
// reaches it through a TextCodec; the byte-for-byte OEM translations cannot change a
// length and leave bytes as they are.
class Utf8SessionCodePages final : public CodePages {
 public:
  explicit Utf8SessionCodePages(int oem) : oem_(oem) {}
  int OemCodePage() const override { return oem_; }
  int AnsiCodePage() const override { return 65001; }
  void OemToAnsi(const char* from, char* to, std::size_t size) const override {
    std::memmove(to, from, size);
  }
  void AnsiToOem(const char* from, char* to, std::size_t size) const override {
    std::memmove(to, from, size);
  }
  std::string AnsiToUtf8(const std::string& text) const override { return text; }
  std::string Utf8ToAnsi(const std::string& text) const override { return text; }

 private:
  int oem_;
};

// What was wrong with the environment's code pages, said once by CurrentCodePages.
std::string& CodePageProblem() {
  static std::string problem;
  return problem;
}

void NoteCodePageProblem(const std::string& text) {
  std::string& problem = CodePageProblem();
  if (problem.find(text) != std::string::npos) return;
  if (!problem.empty()) problem += "\r";
  problem += text;
}

// An environment override, or 0 when unset or not a number (noted as a problem).
int CodePageFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return 0;
  char* end = nullptr;
  long page = std::strtol(value, &end, 10);
  if (*end != '\0' || page <= 0 || page > 65535) {
    NoteCodePageProblem(std::string("Invalid ") + name + " '" + value +
                        "': a code page number such as 850 or 1252 is expected; it is ignored");
    return 0;
  }
  return static_cast<int>(page);
}

struct LanguagePair {
  const char* language;
  int oem;
  int ansi;
};

// The pairs a desktop system uses for each language; languages not listed get 437/1252.
const LanguagePair kLanguagePairs[] = {
    {"ru", 866, 1251}, {"uk", 866, 1251},  {"be", 866, 1251}, {"bg", 866, 1251}, {"mk", 866, 1251},
    {"de", 850, 1252}, {"fr", 850, 1252},  {"es", 850, 1252}, {"it", 850, 1252}, {"pt", 850, 1252},
    {"nl", 850, 1252}, {"sv", 850, 1252},  {"da", 850, 1252}, {"no", 850, 1252}, {"nb", 850, 1252},
    {"nn", 850, 1252}, {"fi", 850, 1252},  {"is", 850, 1252}, {"ca", 850, 1252}, {"eu", 850, 1252},
    {"gl", 850, 1252}, {"af", 850, 1252},  {"ga", 850, 1252}, {"gd", 850, 1252}, {"lb", 850, 1252},
    {"fo", 850, 1252}, {"ms", 850, 1252},  {"id", 850, 1252}, {"sw", 850, 1252}, {"oc", 850, 1252},
    {"br", 850, 1252}, {"cy", 850, 1252},  {"pl", 852, 1250}, {"cs", 852, 1250}, {"sk", 852, 1250},
    {"hu", 852, 1250}, {"sl", 852, 1250},  {"hr", 852, 1250}, {"ro", 852, 1250}, {"sq", 852, 1250},
    {"bs", 852, 1250}, {"el", 737, 1253},  {"tr", 857, 1254}, {"az", 857, 1254}, {"he", 862, 1255},
    {"ar", 864, 1256}, {"fa", 864, 1256},  {"ur", 864, 1256}, {"et", 775, 1257}, {"lv", 775, 1257},
    {"lt", 775, 1257}, {"vi", 1258, 1258}, {"th", 874, 874},
};

std::unique_ptr<CodePages> BuildDefaultCodePages() {
  int oem = 0;
  int ansi = 0;
  DefaultCodePagePair(oem, ansi);
  try {
    return NewTableCodePages(oem, ansi);
  } catch (const Exception& e) {
    // An override or locale naming a page this system cannot convert: use the plain pair.
    NoteCodePageProblem(std::string(e.what()) + "; code pages 437 and 1252 are used instead");
    return NewTableCodePages(437, 1252);
  }
}

const CodePages*& InstalledCodePages() {
  static const CodePages* installed = nullptr;
  return installed;
}

}  // namespace

std::unique_ptr<CodePages> NewTableCodePages(int oemCodePage, int ansiCodePage) {
  if (ansiCodePage == 65001) return std::make_unique<Utf8SessionCodePages>(oemCodePage);
  return std::make_unique<TableCodePages>(oemCodePage, ansiCodePage);
}

int DefaultAnsiCodePage() {
  int oem = 0, ansi = 0;
  DefaultCodePagePair(oem, ansi);
  return ansi;
}

void UseSessionAnsiCodePage(int ansiCodePage) {
  const CodePages& current = CurrentCodePages();
  if (current.AnsiCodePage() == ansiCodePage) return;
  // Pages once built stay alive: strings and views may still refer to the previous ones.
  static std::vector<std::unique_ptr<CodePages>> built;
  built.push_back(NewTableCodePages(current.OemCodePage(), ansiCodePage));
  InstalledCodePages() = built.back().get();
}

void DefaultCodePagePair(int& oemCodePage, int& ansiCodePage) {
  oemCodePage = 437;
  ansiCodePage = 1252;
  const char* locale = nullptr;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  if (locale != nullptr) {
    std::string language(locale, std::strcspn(locale, "_.@"));
    for (const LanguagePair& pair : kLanguagePairs) {
      if (language == pair.language) {
        oemCodePage = pair.oem;
        ansiCodePage = pair.ansi;
        break;
      }
    }
  }
  if (int oem = CodePageFromEnvironment("TAVLO_OEM_CODEPAGE")) oemCodePage = oem;
  if (int ansi = CodePageFromEnvironment("TAVLO_ANSI_CODEPAGE")) ansiCodePage = ansi;
}

const CodePages& CurrentCodePages() {
  const CodePages*& installed = InstalledCodePages();
  if (installed == nullptr) {
    static const std::unique_ptr<CodePages> defaults = BuildDefaultCodePages();
    installed = defaults.get();
    // Said once, after the pages are in place: showing the message converts its text.
    std::string problem;
    std::swap(problem, CodePageProblem());
    if (!problem.empty()) Host().ShowMessage(problem);
  }
  return *installed;
}

ScopedCodePages::ScopedCodePages(const CodePages& replacement) : previous_(&CurrentCodePages()) {
  InstalledCodePages() = &replacement;
}

ScopedCodePages::~ScopedCodePages() {
  InstalledCodePages() = previous_;
}

std::string ConvertToAnsi(const std::string& text, const char* codeset) {
  if (IsAsciiText(text)) return text;
  std::string utf8 = text;
  if (codeset != nullptr && std::strcmp(codeset, "UTF-8") != 0 &&
      !IconvConvert(text, codeset, "UTF-8", utf8))
    return std::string(text.size(), '?');
  return CurrentCodePages().Utf8ToAnsi(utf8);
}

}  // namespace tavlo
