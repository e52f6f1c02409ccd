// Variant: the script value, a tagged union that every script operand, variable, host value,
// field value and XML node value is. It stands alone (no engine state) and never allocates
// beyond its string member, so copying values onto and off the script stacks stays cheap.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace tavlo {

// Errors of the value model. They keep their own types so that a host can tell them from
// the engine's own script errors.
class EVariantError : public Exception {
 public:
  using Exception::Exception;
};

// "Invalid variant type conversion": a value that does not convert to the kind asked for.
class EVariantTypeCastError : public EVariantError {
 public:
  EVariantTypeCastError() : EVariantError("Invalid variant type conversion") {}
};

// "Invalid variant operation": an operand pair that the operation does not accept.
class EVariantInvalidOpError : public EVariantError {
 public:
  EVariantInvalidOpError() : EVariantError("Invalid variant operation") {}
};

// Floating-point traps of real arithmetic.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};

class EZeroDivide : public EMathError {
 public:
  EZeroDivide() : EMathError("Floating point division by zero") {}
};

class EInvalidOp : public EMathError {
 public:
  EInvalidOp() : EMathError("Invalid floating point operation") {}
};

class EOverflow : public EMathError {
 public:
  EOverflow() : EMathError("Floating point overflow") {}
};

enum class VariantKind : std::uint8_t {
  Empty,
  Null,
  Integer,   // signed 32-bit
  Real,      // IEEE double
  Currency,  // signed 64-bit fixed point, four decimals (stored scaled by 10000)
  Date,      // days since 30 December 1899, fraction = time of day
  String,    // byte string
  Boolean,
  Other,  // anything else a host hands in (an object reference, an error code): every
          // operation on it fails
};

enum class VariantOrder { Less, Equal, Greater };

class Variant {
 public:
  static constexpr std::int64_t kCurrencyScale = 10000;

  Variant() noexcept = default;  // Empty
  explicit Variant(std::int32_t value) noexcept : kind_(VariantKind::Integer) { int_ = value; }
  explicit Variant(double value) noexcept : kind_(VariantKind::Real) { real_ = value; }
  explicit Variant(bool value) noexcept : kind_(VariantKind::Boolean) { bool_ = value; }
  explicit Variant(std::string value) noexcept
      : kind_(VariantKind::String), text_(std::move(value)) {}
  explicit Variant(const char* value) : kind_(VariantKind::String), text_(value) {}
  Variant(const Variant&) = default;
  Variant& operator=(const Variant&) = default;
  // Values move on and off the script stack for every atom, and most carry no text: an
  // empty text is not moved at all (the library would still copy its terminator).
  Variant(Variant&& other) noexcept : kind_(other.kind_) {
    CopyPayload(other);
    if (!other.text_.empty()) text_ = std::move(other.text_);
  }
  Variant& operator=(Variant&& other) noexcept {
    kind_ = other.kind_;
    CopyPayload(other);
    if (other.text_.empty()) {
      text_.clear();
    } else {
      text_ = std::move(other.text_);
    }
    return *this;
  }
  ~Variant() noexcept = default;

  static Variant Empty() noexcept { return Variant(); }
  static Variant Null() noexcept { return Variant(VariantKind::Null); }
  static Variant Date(double dayNumber) noexcept;
  // A currency amount from its scaled 64-bit representation (1.5 is 15000).
  static Variant Currency(std::int64_t scaled) noexcept;
  // A currency amount from a double, rounded to four decimals; EOverflow when out of range.
  static Variant CurrencyFromReal(double amount);
  static Variant Other() noexcept { return Variant(VariantKind::Other); }

  VariantKind Kind() const noexcept { return kind_; }
  bool IsEmpty() const noexcept { return kind_ == VariantKind::Empty; }
  bool IsNull() const noexcept { return kind_ == VariantKind::Null; }
  bool IsInteger() const noexcept { return kind_ == VariantKind::Integer; }
  bool IsReal() const noexcept { return kind_ == VariantKind::Real; }
  bool IsCurrency() const noexcept { return kind_ == VariantKind::Currency; }
  bool IsDate() const noexcept { return kind_ == VariantKind::Date; }
  bool IsString() const noexcept { return kind_ == VariantKind::String; }
  bool IsBoolean() const noexcept { return kind_ == VariantKind::Boolean; }
  bool IsOther() const noexcept { return kind_ == VariantKind::Other; }
  // Integer, Real, Currency or Date.
  bool IsNumeric() const noexcept;

  // Raw content; the kind must match (asserted).
  std::int32_t IntegerValue() const noexcept {
    assert(kind_ == VariantKind::Integer);
    return int_;
  }
  double RealValue() const noexcept {  // Real or Date
    assert(kind_ == VariantKind::Real || kind_ == VariantKind::Date);
    return real_;
  }
  std::int64_t CurrencyValue() const noexcept {
    assert(kind_ == VariantKind::Currency);
    return currency_;
  }
  bool BooleanValue() const noexcept {
    assert(kind_ == VariantKind::Boolean);
    return bool_;
  }
  const std::string& StringValue() const noexcept {
    assert(kind_ == VariantKind::String);
    return text_;
  }

  // Makes this value the String text, reusing the storage it already has: the cheap way
  // for a host to answer a field value for every record.
  void AssignString(std::string_view text) {
    kind_ = VariantKind::String;
    text_.assign(text.data(), text.size());
  }

  // Makes this value the Boolean b in place: a comparison turns its left operand into its
  // result without moving a string around.
  void AssignBoolean(bool b) noexcept {
    kind_ = VariantKind::Boolean;
    real_ = 0;
    bool_ = b;
    text_.clear();
  }
  // Makes this value Empty, keeping the text storage for a later AssignString.
  void Clear() noexcept {
    kind_ = VariantKind::Empty;
    real_ = 0;
    text_.clear();
  }

  // Conversions; each raises EVariantTypeCastError where it fails (Null, Other, a text that
  // does not read as the kind). Numbers and dates in text use the regional settings.
  std::int32_t ToInteger() const;     // fractions round to nearest, halves to even
  double ToReal() const;              // Boolean true is -1
  bool ToBoolean() const;             // non-zero is true; texts "true"/"false" in any case
  std::string ToText() const;         // Boolean gives "True" / "False"
  std::string ToTextOrEmpty() const;  // as ToText, but Null gives the empty text
  double ToDate() const;              // day number
  std::int64_t ToCurrency() const;    // scaled by kCurrencyScale

  // Same kind and same content (not the script comparison; Real NaN equals nothing).
  bool operator==(const Variant& other) const noexcept;
  bool operator!=(const Variant& other) const noexcept { return !(*this == other); }

  // A short description such as Integer(5) or String("ab"), for messages in tests.
  std::string Describe() const;

 private:
  explicit Variant(VariantKind kind) noexcept : kind_(kind) {}
  // The union's bytes, whichever member is in use.
  void CopyPayload(const Variant& other) noexcept {
    std::memcpy(static_cast<void*>(&currency_), &other.currency_, sizeof currency_);
  }

  VariantKind kind_ = VariantKind::Empty;
  union {
    std::int32_t int_;
    double real_ = 0;  // Real and Date
    std::int64_t currency_;
    bool bool_;
  };
  std::string text_;
};

// Two-operand arithmetic by the operand class rules (a is the deeper stack operand).
Variant Add(const Variant& a, const Variant& b);
Variant Subtract(const Variant& a, const Variant& b);
Variant Multiply(const Variant& a, const Variant& b);
Variant Divide(const Variant& a, const Variant& b);  // never an integer division
// Integer 0 minus a, by the rules of Subtract.
Variant Negate(const Variant& a);

// Logic: booleans give booleans, integers combine bitwise, Null gives Null.
Variant And(const Variant& a, const Variant& b);
Variant Or(const Variant& a, const Variant& b);
Variant Xor(const Variant& a, const Variant& b);
Variant Not(const Variant& a);

// Ordering by the class rules: Null equals Null and is less than any other value; strings
// compare byte-wise; a string against a number compares as numbers.
VariantOrder Compare(const Variant& a, const Variant& b);

// Checks a real result for the floating-point traps (overflow to infinity, NaN) and raises
// EOverflow or EInvalidOp; returns the value otherwise. Shared with the math words.
double CheckedReal(double result);

}  // namespace tavlo
