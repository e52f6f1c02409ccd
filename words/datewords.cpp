// The date and time words: the current moment, date and time texts, and the Easter date.
#include "platform/clock.h"
#include "platform/regional.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "words/commonwords.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

void WordNow(TqelScript& s) {
  s.Push(Variant::Date(LocalNow()));
}
void WordDateStr(TqelScript& s) {
  s.Push(Variant(FormatDateTime("dd-mmm-yyyy", s.PopNumber())));
}
void WordTimeStr(TqelScript& s) {
  s.Push(Variant(FormatDateTime("hh:nn:ss", s.PopNumber())));
}
void WordEaster(TqelScript& s) {
  s.Push(Variant::Date(EasterDate(s.PopInteger())));
}

const TqelWord kDateWords[] = {
    {"now", WordNow},
    {"datestr", WordDateStr},
    {"timestr", WordTimeStr},
    {"easter", WordEaster},
};

}  // namespace

void RegisterDateWords() {
  RegisterWords(kDateWords);
}

}  // namespace tavlo
