#include "host/qsp_compiler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <lua.hpp>
#include <string>

namespace quenmark::host {
namespace {

// Runs the compiled page with a writer that collects its output; returns output or the error.
std::string Execute(const std::string& page) {
  Result<std::string> lua = CompileQsp(page);
  if (!lua) return "compile failed: " + lua.Description();
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_newtable(L);
  lua_setglobal(L, "out");
  std::string result;
  if (luaL_loadbuffer(L, lua->data(), lua->size(), "=page") != LUA_OK) {
    result = lua_tostring(L, -1);
  } else {
    luaL_loadstring(L, "return function(v) if v ~= nil then out[#out + 1] = tostring(v) end end");
    lua_call(L, 0, 1);
    if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
      result = lua_tostring(L, -1);
    } else {
      luaL_dostring(L, "return table.concat(out)");
      result = lua_tostring(L, -1);
    }
  }
  lua_close(L);
  return result;
}

TEST(QspCompilerTest, WritesTextAndExpressionsInOrder) {
  struct Case {
    const char* page;
    const char* output;
  };
  const Case cases[] = {{"plain \"quoted\" \\ text\n", "plain \"quoted\" \\ text\n"},
                        {"a<%= 1 + 2 %>b", "a3b"},
                        {"<% for i = 1, 3 do %><%= i %>,<% end %>", "1,2,3,"},
                        {"<%@ Language=Lua %>x", "x"},
                        {"<% local x = 5 -- a comment %>[<%= x %>]", "[5]"},
                        {"<%= 'a' -- trailing comment %>b", "ab"},
                        {"tab\tcr\r\x01end", "tab\tcr\r\x01end"},
                        {"<%= nil %>empty", "empty"},
                        {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(Execute(c.page), c.output) << c.page;
}

TEST(QspCompilerTest, KeepsLineNumbersOfCode) {
  struct Case {
    const char* page;
    const char* where;
  };
  const Case cases[] = {{"line 1\nline 2\n<% error('boom') %>", "page:3:"},
                        {"<% local a = 1 -- note %>\n\n<% error('boom') %>", "page:3:"},
                        {"<%\n\n\nerror('boom')\n%>", "page:4:"}};
  for (const Case& c : cases) {
    std::string output = Execute(c.page);
    EXPECT_EQ(output.rfind(c.where, 0), 0u) << c.page << " gave " << output;
  }
}

TEST(QspCompilerTest, UnclosedBlockNamesItsLine) {
  Result<std::string> lua = CompileQsp("a\nb\n<% x = 1\n");
  ASSERT_FALSE(lua.ok());
  EXPECT_EQ(lua.Description(), "line 3: unclosed <% block");
}

}  // namespace
}  // namespace quenmark::host
