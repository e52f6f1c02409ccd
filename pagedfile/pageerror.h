// EqelPageError: the one error class of the paged record file and its queries.
// Carries the exact message text; never shows anything itself.
#pragma once

#include "platform/errors.h"

namespace tavlo {

class EqelPageError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace tavlo
