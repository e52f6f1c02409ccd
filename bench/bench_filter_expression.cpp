// The record filter's inner loop: one Run of the compiled filter >CITY.get 'Paris' = against
// a host callback that answers from a record buffer, side by side with the same test in Lua
// 5.4 through its C API (return get('CITY') == 'Paris').
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "script/qelscript.h"
#include "script/runstate.h"

namespace {

// A fixed-width record as a table stores it: NAME(20) CITY(15) AGE(3).
struct Field {
  const char* name;
  std::size_t nameLength;
  int offset;
  int length;
};
constexpr Field kFields[] = {{"NAME", 4, 0, 20}, {"CITY", 4, 20, 15}, {"AGE", 3, 35, 3}};
constexpr int kRecordLength = 38;

struct RecordBuffer {
  std::array<std::string, 4> records;
  int current = 0;

  RecordBuffer() {
    const char* cities[] = {"Paris", "London", "Berlin", "Paris"};
    for (int i = 0; i < 4; ++i) {
      std::string record(kRecordLength, ' ');
      std::string name = "Customer " + std::to_string(i);
      record.replace(0, name.size(), name);
      record.replace(20, std::strlen(cities[i]), cities[i]);
      record.replace(35, 2, "42");
      records[i] = record;
    }
  }
  void Next() { current = (current + 1) & 3; }
  // The field's text without trailing blanks, or nullptr for an unknown field.
  const Field* Find(const char* name, std::size_t length) const {
    for (const Field& field : kFields) {
      if (field.nameLength != length) continue;
      bool same = true;
      for (std::size_t i = 0; i < length && same; ++i)
        same = tavlo::FoldTable[static_cast<unsigned char>(field.name[i])] ==
               tavlo::FoldTable[static_cast<unsigned char>(name[i])];
      if (same) return &field;
    }
    return nullptr;
  }
  std::pair<const char*, std::size_t> Text(const Field& field) const {
    const char* start = records[current].data() + field.offset;
    std::size_t length = field.length;
    while (length > 0 && start[length - 1] == ' ') --length;
    return {start, length};
  }
};

void BM_TavloFilter(benchmark::State& state) {
  RecordBuffer buffer;
  tavlo::TqelScript script;
  script.onGetVariable = [&buffer](tavlo::TqelScript&, const std::string& symbol,
                                   tavlo::Variant& value, bool& handled, std::string& error) {
    const Field* field = buffer.Find(symbol.data(), symbol.size());
    if (field == nullptr) {
      error = "The field " + symbol + " is not found in this collection";
      return;
    }
    auto [text, length] = buffer.Text(*field);
    value.AssignString(std::string_view(text, length));
    handled = true;
  };
  script.SetScript(">CITY.get 'Paris' =");
  int accepted = 0;
  for (auto _ : state) {
    accepted += script.Run().ToBoolean();
    buffer.Next();
  }
  benchmark::DoNotOptimize(accepted);
  if (accepted != static_cast<int>(state.iterations() / 2) &&
      accepted != static_cast<int>((state.iterations() + 1) / 2))
    state.SkipWithError("wrong filter result");
}
BENCHMARK(BM_TavloFilter)->Iterations(1000000);

int LuaGet(lua_State* L) {
  auto* buffer = static_cast<RecordBuffer*>(lua_touserdata(L, lua_upvalueindex(1)));
  std::size_t length = 0;
  const char* name = luaL_checklstring(L, 1, &length);
  const Field* field = buffer->Find(name, length);
  if (field == nullptr) return luaL_error(L, "The field %s is not found in this collection", name);
  auto [text, textLength] = buffer->Text(*field);
  lua_pushlstring(L, text, textLength);
  return 1;
}

void BM_LuaFilter(benchmark::State& state) {
  RecordBuffer buffer;
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_pushlightuserdata(L, &buffer);
  lua_pushcclosure(L, LuaGet, 1);
  lua_setglobal(L, "get");
  if (luaL_loadstring(L, "return get('CITY') == 'Paris'") != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
  int accepted = 0;
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
    if (lua_pcall(L, 0, 1, 0) != LUA_OK) {
      state.SkipWithError(lua_tostring(L, -1));
      break;
    }
    accepted += lua_toboolean(L, -1);
    lua_pop(L, 1);
    buffer.Next();
  }
  benchmark::DoNotOptimize(accepted);
  lua_close(L);
}
BENCHMARK(BM_LuaFilter)->Iterations(1000000);

}  // namespace

BENCHMARK_MAIN();
