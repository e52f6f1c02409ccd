// The paged-file words: &f.new, open, close, append, select, orderby, count, find, get,
// update and delete. Each pops its arguments (deepest first in the stack picture), calls the
// matching TqelPagedFile operation and pushes its result; the file's errors pass unchanged.
// Queries run on the running script's behalf (its restriction, its time limit); a run that
// may change nothing opens a file as a reader and may not select for update.

#include "words/pagedfilewords.h"

#include <string_view>

#include "script/qelscript.h"
#include "script/registry.h"

namespace tavlo {
namespace {

using PagedFileMethod = void (*)(TqelScript& s, TqelPagedFile& f);

// file pagesize user password ->
void New(TqelScript& s, TqelPagedFile& f) {
  std::string password = s.PopText();
  std::string user = s.PopText();
  int pageSize = s.PopInteger();
  std::string file = s.PopFileName();
  f.Close();
  f.Create(file, pageSize, user, password);
}

// file user password ->
void Open(TqelScript& s, TqelPagedFile& f) {
  std::string password = s.PopText();
  std::string user = s.PopText();
  std::string file = s.PopFileName();
  // Taking a user slot writes the users file (and closing may delete it).
  f.Open(file, user, password, s.ChangesRefused());
}

void Close(TqelScript&, TqelPagedFile& f) {
  f.Close();
}

// record ->
void Append(TqelScript& s, TqelPagedFile& f) {
  f.Append(s.PopText());
}

// query forupdate ->
void Select(TqelScript& s, TqelPagedFile& f) {
  bool forUpdate = s.PopFlag();
  std::string query = s.PopTextOrEmpty();
  // Locking the selected records writes their page headers.
  if (forUpdate) s.RequireChangesAllowed("&" + s.CurrentText() + ".select for update");
  f.Select(query, forUpdate, &s);
}

// fields ->
void OrderBy(TqelScript& s, TqelPagedFile& f) {
  f.OrderBy(s.PopTextOrEmpty(), s.WorkMeter());
}

// -> integer
void Count(TqelScript& s, TqelPagedFile& f) {
  s.Push(Variant(std::int32_t{f.Count()}));
}

// query start -> integer
void Find(TqelScript& s, TqelPagedFile& f) {
  int start = s.PopInteger();
  std::string query = s.PopTextOrEmpty();
  s.Push(Variant(std::int32_t{f.Find(query, start, &s)}));
}

// index -> text
void Get(TqelScript& s, TqelPagedFile& f) {
  int index = s.PopInteger();
  s.Push(Variant(f.Get(index)));
}

// index record ->
void Update(TqelScript& s, TqelPagedFile& f) {
  std::string record = s.PopText();
  int index = s.PopInteger();
  f.Update(index, record);
}

// index ->
void Delete(TqelScript& s, TqelPagedFile& f) {
  f.Delete(s.PopInteger());
}

struct MethodEntry {
  std::string_view name;
  PagedFileMethod run;
};

const MethodEntry kPagedFileMethods[] = {
    {"new", New},       {"open", Open},       {"close", Close},   {"append", Append},
    {"select", Select}, {"orderby", OrderBy}, {"count", Count},   {"find", Find},
    {"get", Get},       {"update", Update},   {"delete", Delete},
};

void PagedFileWord(TqelScript& s) {
  const std::string& method = s.CurrentMethod();
  for (const MethodEntry& entry : kPagedFileMethods) {
    if (entry.name == method) {
      entry.run(s, s.RunState<TqelJPFList>().GetOrCreate(s.CurrentText()));
      return;
    }
  }
  TqelScript::Fail("invalid jpf method specifier " + method);
}

}  // namespace

void RegisterPagedFileWords() {
  RegisterMethodFamily(TqelMethodFamily::PagedFile, PagedFileWord);
  static const char* const kChanging[] = {"new", "append", "update", "delete"};
  RegisterChangingMethods(TqelMethodFamily::PagedFile, kChanging);
}

}  // namespace tavlo
