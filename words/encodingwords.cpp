// The encoding words: Base64, the keyed cipher wrapped in Base64, and the text hash. Thin
// wrappers over the text utilities; the keys are always the script's own.
#include <string>

#include "script/qelscript.h"
#include "script/registry.h"
#include "words/commonwords.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

void WordEncodeB64(TqelScript& s) {
  s.Push(Variant(EncodeBase64(s.PopText())));
}
void WordDecodeB64(TqelScript& s) {
  s.Push(Variant(DecodeBase64(s.PopText())));
}

template <std::string (*kCipher)(const std::string&, int, int, int)>
void WordCipherB64(TqelScript& s) {
  const std::int32_t increment = s.PopInteger();
  const std::int32_t multiplier = s.PopInteger();
  const std::int32_t start = s.PopInteger();
  const std::string text = s.PopText();
  s.Push(Variant(kCipher(text, start, multiplier, increment)));
}

void WordHash(TqelScript& s) {
  s.Push(Variant(static_cast<std::int32_t>(HashText(s.PopText()))));
}

const TqelWord kEncodingWords[] = {
    {"encodeb64", WordEncodeB64},
    {"decodeb64", WordDecodeB64},
    {"encryptb64", WordCipherB64<EncryptBase64>},
    {"decryptb64", WordCipherB64<DecryptBase64>},
    {"hash", WordHash},
};

}  // namespace

void RegisterEncodingWords() {
  RegisterWords(kEncodingWords);
}

}  // namespace tavlo
