// Internal to platform/: character-set conversion through iconv for the few texts that come
// from the C library in its own character set (locale names). Not a hot path.
#pragma once

#include <string>

namespace tavlo {

// Converts text from an iconv character set to another; false when either set is unknown or
// the text does not convert completely.
bool IconvConvert(const std::string& text, const char* from, const char* to, std::string& out);
// Text in the given character set (nl_langinfo(CODESET)) as bytes of the ANSI code page in
// force; characters the page lacks become '?'.
std::string ConvertToAnsi(const std::string& text, const char* codeset);

}  // namespace tavlo
