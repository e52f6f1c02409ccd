// Key expressions: the xBase expression language as index keys and FOR clauses use it,
// compiled once against a table's fields and evaluated on the raw bytes of its records
// through the column layout. A text outside the understood words (docs/indexes.md) is
// refused with the exact word it stopped at; nothing is guessed. Evaluation never writes a
// record and allocates nothing per record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/columnlayout.h"
#include "platform/errors.h"

namespace tavlo {

class TDbfFile;

// The kinds of values: character, numeric, date, date-time, logical.
enum class TKeyKind : std::uint8_t { Character, Numeric, Date, DateTime, Logical };
// 'C', 'N', 'D', 'T', 'L'.
char KeyKindLetter(TKeyKind kind);

// The type of an expression, known when it is compiled.
struct TKeyType {
  TKeyKind kind = TKeyKind::Character;
  // Character: the most characters a value has (what an index key of it holds); numeric:
  // the width of a field or of STR-like text when known, else 0.
  int length = 0;
  int decimals = 0;       // numeric: the decimals of a field, when known
  bool variable = false;  // character: a value may be shorter than length (TRIM)
  bool integer = false;   // numeric: a 32-bit binary integer field (Visual FoxPro I)
  bool nullable = false;  // a value may be null (Visual FoxPro null flags)
};

// One value. Dates and date-times are Julian day numbers (date-times with the time of day
// as a fraction); 0 is the empty date. text holds character values.
struct TKeyValue {
  bool null = false;
  bool logical = false;
  double number = 0;
  std::string text;
};

// What a compiler refuses: the word it stopped at, exactly as written ("" at the end of the
// text), where it starts, and why. what() is the reason, which names the word.
class EKeyExprNotUnderstood : public Exception {
 public:
  EKeyExprNotUnderstood(std::string word, std::size_t position, const std::string& reason)
      : Exception(reason), word_(std::move(word)), position_(position) {}
  const std::string& Word() const { return word_; }
  std::size_t Position() const { return position_; }

 private:
  std::string word_;
  std::size_t position_ = 0;
};

// What an expression is compiled against: the fields of one open table (names lower-case,
// by field index), the layout that reads their bytes, the table's alias (for ALIAS->FIELD)
// and the case mapping of its code page. The layout must outlive every expression compiled
// against it.
struct TKeyExprTable {
  const TColumnLayout* layout = nullptr;
  std::vector<std::string> names;
  std::vector<int> decimals;  // of numeric fields, by field index
  std::vector<char> letters;  // the descriptors' type letters, by field index
  std::string alias;          // upper-case
  // UPPER and LOWER of the table's code page, byte for byte; caseMapped false when the page
  // has characters of two bytes, where a byte-wise case change would break them, or cannot be
  // converted.
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};
  bool caseMapped = true;
  int codePage = 0;
};

// The table of file's fields as its layout reads them. The alias is the file's base name in
// upper case with every character that a name cannot hold turned into '_' ("ntx-char.dbf"
// is NTX_CHAR); the case mapping is that of the table's code page (the session's OEM page
// for a table that names none).
TKeyExprTable KeyExprTableOf(const TDbfFile& file, const TColumnLayout& layout);
// The case mapping of a single-byte code page: each letter to its capital (and back) when
// the page holds both; other bytes unchanged. false for pages of two-byte characters, whose
// tables then change only a-z. Raises Exception for a page that cannot be converted.
bool CaseTablesOfCodePage(int page, std::array<unsigned char, 256>& upper,
                          std::array<unsigned char, 256>& lower);

// The text STR(value, length, decimals) gives, in the length bytes at out: right-aligned,
// halves rounded away from zero (allowing for the binary fractions a hair below them), all
// asterisks and false when it does not fit.
bool StrText(double value, int length, int decimals, char* out);

namespace keyexpr {
struct Node;
}

// A compiled expression. Evaluate fills one value held inside the expression, so that a walk
// over millions of records allocates nothing; copies and moves carry their own.
class TKeyExpression {
 public:
  // Compiles text against table. Raises EKeyExprNotUnderstood for anything outside the
  // understood words, types that do not fit (a number added to a text) and names the table
  // does not have.
  static TKeyExpression Compile(std::string_view text, const TKeyExprTable& table);

  TKeyExpression();
  ~TKeyExpression();
  TKeyExpression(const TKeyExpression&);
  TKeyExpression& operator=(const TKeyExpression&);
  TKeyExpression(TKeyExpression&&) noexcept;
  TKeyExpression& operator=(TKeyExpression&&) noexcept;

  const std::string& Text() const { return text_; }
  const TKeyType& Type() const;
  // The field the expression is, as it is or in capitals: its index for "CITY",
  // "FIELD->CITY", "alias->city" and (upper set) "UPPER(CITY)"; -1 for anything else.
  int SingleField(bool& upper) const;

  // The value on record (its bytes as the file holds them, deletion flag first, at least the
  // layout's record size), whose 1-based number is recordNumber. false when the record gives
  // the expression no value (a SUBSTR starting before the text, a BINTOC number out of its
  // range): Failure() says why.
  bool Evaluate(const std::uint8_t* record, std::uint32_t recordNumber);
  const TKeyValue& Value() const;
  const std::string& Failure() const { return failure_; }
  // A FOR clause's verdict: the expression is logical and true on record (null and a failed
  // evaluation are not).
  bool Accepts(const std::uint8_t* record, std::uint32_t recordNumber);

 private:
  std::string text_;
  std::vector<keyexpr::Node> nodes_;  // the root is the last
  const TColumnLayout* layout_ = nullptr;
  std::array<unsigned char, 256> upper_{};
  std::array<unsigned char, 256> lower_{};
  std::string failure_;
};

}  // namespace tavlo
