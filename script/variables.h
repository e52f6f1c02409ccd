// The internal variables of a running script: TVariantObject, one cell holding an array of
// values whose element 0 is the scalar value, and TVariantList, the component's cells by
// case-insensitive name. Emptied at the start and normal end of every run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "value/value.h"

namespace tavlo {

class TVariantObject {
 public:
  std::vector<Variant> Items = std::vector<Variant>(1);  // created with length 1, Empty
};

class TVariantList {
 public:
  TVariantObject* Find(const std::string& name) noexcept;
  // Element 0 of the cell, or Null when there is no cell (or the array is empty).
  Variant Read(const std::string& name);
  // Creates the cell if needed and sets element 0 (restoring length 1 if it was 0).
  void Write(const std::string& name, const Variant& value);
  // Creates the cell if needed and sets its length, keeping existing elements.
  TVariantObject& Resize(const std::string& name, std::size_t length);
  TVariantObject& FindOrCreate(const std::string& name);
  std::size_t Count() const noexcept { return cells_.size(); }
  void Clear() noexcept { cells_.clear(); }

 private:
  struct Cell {
    std::string name;
    std::unique_ptr<TVariantObject> object;
  };
  std::vector<Cell> cells_;
};

}  // namespace tavlo
