// Internal to platform/: the translation of the C library's strftime date format into the
// pattern letters of the regional settings. Shared with the tests only.
#pragma once

#include <string>

namespace tavlo {

// "%d.%m.%Y" -> "dd.mm.yyyy"; years always come out with four digits. separator receives the
// first separator between the fields and is left alone when there is none.
std::string DatePatternFromStrftime(const char* format, char& separator);

}  // namespace tavlo
