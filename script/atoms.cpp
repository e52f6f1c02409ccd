// Names of the atom kinds, from the one table in atoms.h.
#include "script/atoms.h"

namespace tavlo {

const char* AtomKindName(AtomKind kind) {
  switch (kind) {
#define TAVLO_ATOM_NAME(name, operand, effect) \
  case AtomKind::name:                         \
    return #name;
    TAVLO_ATOM_KINDS(TAVLO_ATOM_NAME)
#undef TAVLO_ATOM_NAME
  }
  return "?";
}

}  // namespace tavlo
