// The pattern replacement of the words regreplace and regreplaceall: literals searched in
// the subject, class items capturing into 32 registers, and a template that joins the
// captured pieces. Plain functions over byte strings; the registers belong to the caller.
#pragma once

#include <array>
#include <string>

#include "text/workmeter.h"

namespace tavlo {

using TqelCaptureRegisterArray = std::array<std::string, 32>;

// Replaces the first match (all = false) or every match (all = true) of pattern in subject
// by the expanded template. Registers keep what earlier calls captured, except those that a
// class item names. Raises EqelScriptError for a "*" at either end of pattern or template.
// The meter steps per match tried and per piece captured.
std::string PatternReplace(const std::string& subject, const std::string& pattern,
                           const std::string& templ, bool caseSensitive, bool all,
                           TqelCaptureRegisterArray& registers, const TWorkMeter& meter = {});

}  // namespace tavlo
