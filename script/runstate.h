// Per-run state that library words keep on the script component (XML documents and the
// selection, paged files, data-source objects, capture registers, a nested script) without
// the core knowing their types. Every slot is cleared when a run starts and when it ends
// normally, so nothing a script stores survives to the next run.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "text/qelstrings.h"

namespace tavlo {

// Base of every slot. Clear() frees what the slot holds; it must be cheap when the slot is
// already empty, because it runs twice per run (once per filtered record).
class TqelRunState {
 public:
  virtual ~TqelRunState() = default;
  virtual void Clear() noexcept = 0;
};

// A named container: (name, object) pairs owning their objects, case-insensitive names, and
// a get-or-create lookup. Override Create to build objects that need their name.
template <typename T>
class TqelNamedList : public TqelRunState {
 public:
  // The object under name, created when the name is new.
  T& GetOrCreate(const std::string& name) {
    if (T* found = Find(name)) return *found;
    entries_.emplace_back(name, Create(name));
    return *entries_.back().second;
  }
  T* Find(const std::string& name) const noexcept {
    for (const auto& entry : entries_)
      if (EqualTextNoCase(entry.first, name)) return entry.second.get();
    return nullptr;
  }
  // Frees the object under name; false when there is none.
  bool Remove(const std::string& name) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (EqualTextNoCase(it->first, name)) {
        entries_.erase(it);
        return true;
      }
    }
    return false;
  }
  std::size_t Count() const noexcept { return entries_.size(); }
  const std::vector<std::pair<std::string, std::unique_ptr<T>>>& Entries() const noexcept {
    return entries_;
  }
  void Clear() noexcept override { entries_.clear(); }

 protected:
  virtual std::unique_ptr<T> Create(const std::string& /*name*/) { return std::make_unique<T>(); }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<T>>> entries_;
};

}  // namespace tavlo
