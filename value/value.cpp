// The script value: constructors, conversions and the text form. The operations that combine
// two values live in value_operations.cpp. Nothing here touches engine state.
#include <cassert>
#include <cmath>
#include <limits>

#include "platform/asciitext.h"
#include "platform/regional.h"
#include "value/value.h"

namespace tavlo {

namespace {

// Rounds to the nearest integer, halves to the even neighbour, and checks the 32-bit range.
std::int32_t RoundToInteger(double value) {
  if (std::isnan(value)) throw EVariantTypeCastError();
  double rounded = std::nearbyint(value);
  if (std::fabs(value - std::trunc(value)) == 0.5) {
    // nearbyint follows the current rounding mode; make halves go to even regardless.
    double lower = std::floor(value);
    rounded = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
  }
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max())
    throw EVariantTypeCastError();
  return static_cast<std::int32_t>(rounded);
}

std::int64_t RealToCurrency(double value) {
  if (std::isnan(value)) throw EVariantTypeCastError();
  double scaled = value * Variant::kCurrencyScale;
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (!(std::fabs(scaled) < 9223372036854775808.0)) throw EOverflow();
  double rounded = std::nearbyint(scaled);
  if (std::fabs(scaled - std::trunc(scaled)) == 0.5) {
    double lower = std::floor(scaled);
    rounded = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
  }
  return static_cast<std::int64_t>(rounded);
}

bool ParseNumber(const std::string& text, double& value) {
  return TextToFloat(text, value);
}

}  // namespace

Variant Variant::Date(double dayNumber) noexcept {
  Variant v(VariantKind::Date);
  v.real_ = dayNumber;
  return v;
}

Variant Variant::Currency(std::int64_t scaled) noexcept {
  Variant v(VariantKind::Currency);
  v.currency_ = scaled;
  return v;
}

Variant Variant::CurrencyFromReal(double amount) {
  return Currency(RealToCurrency(amount));
}

bool Variant::IsNumeric() const noexcept {
  return kind_ == VariantKind::Integer || kind_ == VariantKind::Real ||
         kind_ == VariantKind::Currency || kind_ == VariantKind::Date;
}

std::int32_t Variant::ToInteger() const {
  switch (kind_) {
    case VariantKind::Integer:
      return int_;
    case VariantKind::Real:
    case VariantKind::Date:
      return RoundToInteger(real_);
    case VariantKind::Currency: {
      // Exact half-even rounding on the scaled integer.
      std::int64_t whole = currency_ / kCurrencyScale;
      std::int64_t rest = currency_ % kCurrencyScale;
      std::int64_t twice = 2 * (rest < 0 ? -rest : rest);
      if (twice > kCurrencyScale || (twice == kCurrencyScale && whole % 2 != 0))
        whole += rest < 0 ? -1 : 1;
      if (whole < std::numeric_limits<std::int32_t>::min() ||
          whole > std::numeric_limits<std::int32_t>::max())
        throw EVariantTypeCastError();
      return static_cast<std::int32_t>(whole);
    }
    case VariantKind::Boolean:
      return bool_ ? -1 : 0;
    case VariantKind::String: {
      double value;
      if (!ParseNumber(text_, value)) throw EVariantTypeCastError();
      return RoundToInteger(value);
    }
    case VariantKind::Empty:
      return 0;
    case VariantKind::Null:
    case VariantKind::Other:
      break;
  }
  throw EVariantTypeCastError();
}

double Variant::ToReal() const {
  switch (kind_) {
    case VariantKind::Integer:
      return int_;
    case VariantKind::Real:
    case VariantKind::Date:
      return real_;
    case VariantKind::Currency:
      return static_cast<double>(currency_) / kCurrencyScale;
    case VariantKind::Boolean:
      return bool_ ? -1 : 0;
    case VariantKind::String: {
      double value;
      if (!ParseNumber(text_, value)) throw EVariantTypeCastError();
      return value;
    }
    case VariantKind::Empty:
      return 0;
    case VariantKind::Null:
    case VariantKind::Other:
      break;
  }
  throw EVariantTypeCastError();
}

bool Variant::ToBoolean() const {
  switch (kind_) {
    case VariantKind::Integer:
      return int_ != 0;
    case VariantKind::Real:
    case VariantKind::Date:
      return real_ != 0;
    case VariantKind::Currency:
      return currency_ != 0;
    case VariantKind::Boolean:
      return bool_;
    case VariantKind::String: {
      if (EqualNoCaseAscii(text_, "true")) return true;
      if (EqualNoCaseAscii(text_, "false")) return false;
      double value;
      if (!ParseNumber(text_, value)) throw EVariantTypeCastError();
      return value != 0;
    }
    case VariantKind::Empty:
      return false;
    case VariantKind::Null:
    case VariantKind::Other:
      break;
  }
  throw EVariantTypeCastError();
}

std::string Variant::ToText() const {
  switch (kind_) {
    case VariantKind::Integer:
      return std::to_string(int_);
    case VariantKind::Real:
      return FloatToText(real_);
    case VariantKind::Currency:
      return FloatToText(static_cast<double>(currency_) / kCurrencyScale);
    case VariantKind::Date:
      return DateTimeToText(real_);
    case VariantKind::Boolean:
      return bool_ ? "True" : "False";
    case VariantKind::String:
      return text_;
    case VariantKind::Empty:
      return std::string();
    case VariantKind::Null:
    case VariantKind::Other:
      break;
  }
  throw EVariantTypeCastError();
}

std::string Variant::ToTextOrEmpty() const {
  if (kind_ == VariantKind::Null) return std::string();
  return ToText();
}

double Variant::ToDate() const {
  if (kind_ == VariantKind::String) {
    double value;
    if (!TextToDateTime(text_, value)) throw EVariantTypeCastError();
    return value;
  }
  return ToReal();
}

std::int64_t Variant::ToCurrency() const {
  switch (kind_) {
    case VariantKind::Currency:
      return currency_;
    case VariantKind::Integer:
      return static_cast<std::int64_t>(int_) * kCurrencyScale;
    case VariantKind::Boolean:
      return bool_ ? -kCurrencyScale : 0;
    case VariantKind::Empty:
      return 0;
    default:
      return RealToCurrency(ToReal());
  }
}

bool Variant::operator==(const Variant& other) const noexcept {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case VariantKind::Integer:
      return int_ == other.int_;
    case VariantKind::Real:
    case VariantKind::Date:
      return real_ == other.real_;
    case VariantKind::Currency:
      return currency_ == other.currency_;
    case VariantKind::Boolean:
      return bool_ == other.bool_;
    case VariantKind::String:
      return text_ == other.text_;
    default:
      return true;
  }
}

std::string Variant::Describe() const {
  switch (kind_) {
    case VariantKind::Empty:
      return "Empty";
    case VariantKind::Null:
      return "Null";
    case VariantKind::Integer:
      return "Integer(" + std::to_string(int_) + ")";
    case VariantKind::Real:
      return "Real(" + FloatToText(real_) + ")";
    case VariantKind::Currency:
      return "Currency(" + FloatToText(static_cast<double>(currency_) / kCurrencyScale) + ")";
    case VariantKind::Date:
      return "Date(" + FloatToText(real_) + ")";
    case VariantKind::String:
      return "String(\"" + text_ + "\")";
    case VariantKind::Boolean:
      return bool_ ? "Boolean(True)" : "Boolean(False)";
    case VariantKind::Other:
      return "Other";
  }
  return "?";
}

}  // namespace tavlo
