// Errors raised by the text utilities: the item lists' index error. Never shows a message.
#pragma once

#include <string>

#include "platform/errors.h"

namespace tavlo {

// "List index out of bounds (%d)"
class EListError : public Exception {
 public:
  using Exception::Exception;
  static EListError ForIndex(long long index) {
    return EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
};

}  // namespace tavlo
