// RegisterLibraryWords: calls the registration function of every word theme. A theme file
// defines `void Register<Theme>Words()` (registering its static TqelWord table and, where it
// has one, its method family) and adds its call below; nothing else lists the themes.
#include "words/library.h"

#include "script/registry.h"
#include "words/commonwords.h"
#include "words/dsowords.h"
#include "words/pagedfilewords.h"
#include "words/xmlwords.h"

namespace tavlo {

void RegisterLibraryWords() {
  static const bool installed = [] {
    RegisterCoreWords();
    // Theme registrations, one line each:
    RegisterPagedFileWords();
    RegisterDataSourceWords();
    RegisterXmlWords();
    RegisterStringWords();
    RegisterMathWords();
    RegisterDateWords();
    RegisterSetWords();
    RegisterFileWords();
    RegisterDialogWords();
    RegisterHtmlWords();
    RegisterEncodingWords();
    return true;
  }();
  (void)installed;
}

}  // namespace tavlo
