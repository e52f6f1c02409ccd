// Registration of the word themes that need no object of their own: strings, math, dates,
// sets, files, dialogs and shell, HTML and encoding. Each is defined in its theme's file.
#pragma once

namespace tavlo {

void RegisterStringWords();    // stringwords.cpp
void RegisterMathWords();      // mathwords.cpp
void RegisterDateWords();      // datewords.cpp
void RegisterSetWords();       // setwords.cpp
void RegisterFileWords();      // filewords.cpp
void RegisterDialogWords();    // dialogwords.cpp
void RegisterHtmlWords();      // htmlwords.cpp
void RegisterEncodingWords();  // encodingwords.cpp

}  // namespace tavlo
