// qelStrings: the attribute-line reader and writer, substring searches with and without case,
// whole-file transfers, and the string helpers that the script words and the paged record file
// share. Byte strings, one byte per character, 1-based positions; 0 means "not found".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/workmeter.h"

namespace tavlo {

// Upper-case mapping of the Windows-1251 code page; two bytes are equal without regard to
// case when they map to the same byte.
extern const std::array<unsigned char, 256> FoldTable;

// Case mapping of the letters a to z only, for the words that fold nothing else.
extern const std::array<unsigned char, 256> AsciiFoldTable;

// Equal without regard to case through FoldTable: the rule for names of variables, containers,
// include files, form controls and fields of a definition.
inline bool EqualTextNoCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldTable[static_cast<unsigned char>(a[i])] != FoldTable[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}
// The text through FoldTable: the key under which EqualTextNoCase texts are one.
std::string FoldedText(std::string_view text);

// The one substring search of the system: the first (FindBytes) or last (FindLastBytes)
// 0-based offset at or after `from` where needle occurs in hay, std::string::npos when it
// does not (or when needle is empty). With a fold table, bytes are equal when they map to the
// same byte. Time is linear in the lengths of both texts whatever they hold.
std::size_t FindBytes(std::string_view hay, std::string_view needle, std::size_t from = 0,
                      const std::array<unsigned char, 256>* fold = nullptr);
std::size_t FindLastBytes(std::string_view hay, std::string_view needle,
                          const std::array<unsigned char, 256>* fold = nullptr);

int PosFrom(const std::string& pattern, const std::string& text, int start);
int PosFromNoCase(const std::string& pattern, const std::string& text, int start);

std::string AttrGet(const std::string& line, const std::string& name);
void AttrSet(std::string& line, const std::string& name, const std::string& value);

// Raise EFCreateError / EFOpenError / EReadError / EWriteError through platform/filesystem.h.
void SaveStringToFile(const std::string& path, const std::string& text);
std::string LoadFileToString(const std::string& path);
// A text file read as a list of lines: every line break, CR LF, LF or CR, becomes CR LF (what
// the script compiler joins); a last line without a break gets none, so an included file's
// last word still meets the text after its include directive as before.
std::string LoadTextFileLines(const std::string& path);
// The lines of a text broken at CR LF, LF or CR, without their breaks; a last line without a
// break counts when it holds a character ("a\r\n" is one line, "" none).
std::vector<std::string> SplitLines(std::string_view text);

// A whole number: optional sign, decimal digits or "$" / "0x" and hexadecimal digits (which may
// spell the unsigned 32-bit range as a bit pattern), nothing else. False when it is not one.
bool TextToInteger(const std::string& text, std::int32_t& value);

// Item lists: items separated by blanks; an item starting with a double quote runs to the next.
// The functions whose work grows with the list step the meter once per item (workmeter.h).
std::vector<std::string> SplitItems(const std::string& text, const TWorkMeter& meter = {});
std::string JoinItems(const std::vector<std::string>& items);
std::string FirstItem(const std::string& text);
std::string LastItem(const std::string& text);
int ItemCount(const std::string& text, const TWorkMeter& meter = {});
std::string RotateItemsLeft(const std::string& text, const TWorkMeter& meter = {});
std::string RotateItemsRight(const std::string& text, const TWorkMeter& meter = {});
// Raises EListError "List index out of bounds (%d)" for a negative index.
std::string PickItem(const std::string& text, int index, const TWorkMeter& meter = {});
std::string SortItems(const std::string& text, const TWorkMeter& meter = {});
std::string UnionItems(const std::string& a, const std::string& b, const TWorkMeter& meter = {});
std::string IntersectItems(const std::string& a, const std::string& b,
                           const TWorkMeter& meter = {});
std::string ExcludeItems(const std::string& a, const std::string& b, const TWorkMeter& meter = {});

// Comma lists: items separated by commas or blanks (every byte of code 32 or less is one); an
// item in double quotes may hold blanks and commas, a doubled quote inside standing for one.
// A comma with nothing after it ends an empty last item only where the caller says so (the
// key lists of a paged file's order; a variable's split drops it).
enum class TrailingComma { Dropped, EndsEmptyItem };
std::vector<std::string> SplitCommaList(const std::string& text, TrailingComma trailing,
                                        const TWorkMeter& meter = {});
// Locale-aware comparison without regard to case, as the item functions use it.
int CompareTextNoCase(const std::string& a, const std::string& b);

int LastPosNoCase(const std::string& pattern, const std::string& text);
std::string ReplaceLast(const std::string& text, const std::string& oldText,
                        const std::string& newText);

// Templates: {NAME} markers, {begin:NAME}...{end:NAME} definitions, {block:NAME} places.
bool ExpandBlock(std::string& text, const std::string& name);
std::string RemoveBlockDefinitions(const std::string& text, const TWorkMeter& meter = {});
std::string RemoveBraceMarkers(const std::string& text, const TWorkMeter& meter = {});

std::string EncodeBase64(const std::string& bytes);
// Raises EConvertError "Base64: Incorrect string format" for a length not a multiple of 4.
std::string DecodeBase64(const std::string& text);
std::string EncryptText(const std::string& bytes, int startKey, int multiplier, int increment);
std::string DecryptText(const std::string& bytes, int startKey, int multiplier, int increment);
std::string EncryptBase64(const std::string& bytes, int startKey, int multiplier, int increment);
std::string DecryptBase64(const std::string& text, int startKey, int multiplier, int increment);
std::int32_t HashText(const std::string& text);
// Gregorian Easter Sunday as a day number; EConvertError for a year the date type cannot hold.
double EasterDate(int year);
// "#RRGGBB" to 0x00BBGGRR; anything else gives 0.
std::uint32_t HtmlColorToColor(const std::string& text);
// Appends folder + name of every regular file in folder matching mask (* and ? wildcards).
void ListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list,
               const TWorkMeter& meter = {});

}  // namespace tavlo
