// The record filter's yardstick: a small C program (compiled as C++ only to share the
// benchmark build) that counts the records of a DBF table for which a Lua 5.4 chunk returns
// true. The chunk is compiled once and called once per visible record; get(NAME) answers with
// the field NAME (without regard to case) of the record under test, as the filter's variable
// callback does: character fields as strings without trailing blanks, numbers as numbers,
// logicals as booleans, everything else as its stored text.
//
// usage: bench_filter_lua TABLE.dbf ["return get('CITY') == 'Paris'"]
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FieldDesc {
  char name[12];
  char type;
  int offset;  // from the start of the record, deletion flag included
  int length;
};

struct Table {
  const unsigned char* base;
  size_t size;
  unsigned records;
  unsigned headerSize;
  unsigned recordSize;
  int fieldCount;
  FieldDesc fields[255];
  const unsigned char* record;  // the record under test
};

Table table;

bool SameNameNoCase(const char* a, size_t aLength, const char* b) {
  size_t i = 0;
  for (; i < aLength && b[i] != 0; ++i) {
    int x = a[i] >= 'a' && a[i] <= 'z' ? a[i] - 32 : a[i];
    int y = b[i] >= 'a' && b[i] <= 'z' ? b[i] - 32 : b[i];
    if (x != y) return false;
  }
  return i == aLength && b[i] == 0;
}

int Get(lua_State* L) {
  size_t length = 0;
  const char* name = luaL_checklstring(L, 1, &length);
  for (int i = 0; i < table.fieldCount; ++i) {
    const FieldDesc& field = table.fields[i];
    if (!SameNameNoCase(name, length, field.name)) continue;
    const char* bytes = reinterpret_cast<const char*>(table.record) + field.offset;
    int end = field.length;
    while (end > 0 && bytes[end - 1] == ' ') --end;
    int begin = 0;
    if (field.type != 'C' && field.type != 'M')
      while (begin < end && bytes[begin] == ' ') ++begin;
    if (begin == end) {
      lua_pushnil(L);
    } else if (field.type == 'N' || field.type == 'F') {
      char text[64];
      int n = end - begin < 63 ? end - begin : 63;
      memcpy(text, bytes + begin, n);
      text[n] = 0;
      lua_pushnumber(L, strtod(text, nullptr));
    } else if (field.type == 'L') {
      lua_pushboolean(L, bytes[begin] == 'T' || bytes[begin] == 't' || bytes[begin] == 'Y' ||
                             bytes[begin] == 'y');
    } else {
      lua_pushlstring(L, bytes + begin, end - begin);
    }
    return 1;
  }
  return luaL_error(L, "The field %s is not found in this collection", name);
}

unsigned Read16(const unsigned char* p) {
  return p[0] | p[1] << 8;
}

unsigned Read32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24;
}

bool OpenTable(const char* path) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || info.st_size < 32) {
    close(fd);
    return false;
  }
  table.size = static_cast<size_t>(info.st_size);
  void* map = mmap(nullptr, table.size, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return false;
  table.base = static_cast<const unsigned char*>(map);
  table.records = Read32(table.base + 4);
  table.headerSize = Read16(table.base + 8);
  table.recordSize = Read16(table.base + 10);
  int offset = 1;
  for (const unsigned char* d = table.base + 32;
       d + 32 <= table.base + table.headerSize && *d != 0x0D && table.fieldCount < 255; d += 32) {
    FieldDesc& field = table.fields[table.fieldCount++];
    memcpy(field.name, d, 11);
    field.name[11] = 0;
    field.type = static_cast<char>(d[11]);
    field.length = d[16];
    field.offset = offset;
    offset += field.length;
  }
  // Only whole records inside the file count.
  size_t available = (table.size - table.headerSize) / table.recordSize;
  if (available < table.records) table.records = static_cast<unsigned>(available);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_filter_lua TABLE.dbf [LUA-CHUNK]\n");
    return 2;
  }
  if (!OpenTable(argv[1])) {
    fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  const char* chunk = argc > 2 ? argv[2] : "return get('CITY') == 'Paris'";
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "get", Get);
  if (luaL_loadstring(L, chunk) != LUA_OK) {
    fprintf(stderr, "%s\n", lua_tostring(L, -1));
    return 1;
  }
  const int function = lua_gettop(L);
  unsigned long long count = 0;
  for (unsigned i = 0; i < table.records; ++i) {
    table.record = table.base + table.headerSize + static_cast<size_t>(i) * table.recordSize;
    if (table.record[0] != ' ') continue;
    lua_pushvalue(L, function);
    if (lua_pcall(L, 0, 1, 0) != LUA_OK) {
      fprintf(stderr, "%s\n", lua_tostring(L, -1));
      return 1;
    }
    if (lua_toboolean(L, -1)) ++count;
    lua_pop(L, 1);
  }
  printf("%llu\n", count);
  lua_close(L);
  return 0;
}
