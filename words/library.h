// Installation of the whole word library into the word registry. tavlo_words is a static
// library, so words cannot register themselves from globals (the linker drops unreferenced
// objects): every program that runs scripts (tavlo-cli, the app, tests of the words) calls
// RegisterLibraryWords() once at start. It is idempotent.
#pragma once

namespace tavlo {

// Registers every theme's word table and method family (script/registry.h).
void RegisterLibraryWords();

}  // namespace tavlo
