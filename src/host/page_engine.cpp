#include "host/page_engine.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <system_error>

#include "frame/text_util.h"
#include "host/builtin_objects.h"
#include "host/pattern_guard.h"
#include "host/qsp_compiler.h"

namespace quenmark::host {

namespace {

namespace fs = std::filesystem;

// What the sandbox functions need while a page runs; reached through the state's extra space.
struct RunState {
  PageEngine* engine = nullptr;
  PageContext* context = nullptr;
  fs::path root;
  std::chrono::steady_clock::time_point deadline;
  bool has_deadline = false;
  size_t memory_limit = 0;
  size_t memory_used = 0;
  bool timed_out = false;  // once set, no pcall can catch the page's end
};

RunState& StateOf(lua_State* L) { return **static_cast<RunState**>(lua_getextraspace(L)); }

// Allocator that enforces the per-page memory limit.
void* LimitedAlloc(void* ud, void* ptr, size_t old_size, size_t new_size) {
  auto* state = static_cast<RunState*>(ud);
  size_t old_block = ptr ? old_size : 0;
  if (new_size == 0) {
    state->memory_used -= old_block;
    std::free(ptr);
    return nullptr;
  }
  if (state->memory_limit != 0 && new_size > old_block &&
      state->memory_used + (new_size - old_block) > state->memory_limit) {
    return nullptr;
  }
  void* block = std::realloc(ptr, new_size);
  if (block) state->memory_used = state->memory_used - old_block + new_size;
  return block;
}

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};
using LuaPtr = std::unique_ptr<lua_State, LuaCloser>;

void PatternClockCheck(lua_State* L);

void TimeHook(lua_State* L, lua_Debug*) {
  RunState& state = StateOf(L);
  if (state.timed_out || (state.has_deadline && std::chrono::steady_clock::now() > state.deadline)) {
    state.timed_out = true;
    // Every few instructions from now on, so that a handler that caught it cannot go on.
    lua_sethook(L, TimeHook, LUA_MASKCOUNT, 1);
    luaL_error(L, "the page ran longer than its time limit and was stopped");
  }
}

// The same limit inside the string library's pattern searches.
void PatternClockCheck(lua_State* L) { TimeHook(L, nullptr); }

std::string_view ViewOf(lua_State* L, int index) {
  size_t length = 0;
  const char* text = lua_tolstring(L, index, &length);
  return text ? std::string_view(text, length) : std::string_view();
}

// The page-relative name of a file inside the root, for chunk names and messages.
std::string VirtualName(const fs::path& root, const fs::path& file) {
  std::string relative = file.lexically_relative(root).generic_string();
  return "/" + relative;
}

void WriteValue(lua_State* L, int index, Response& response) {
  switch (lua_type(L, index)) {
    case LUA_TNIL:
      return;
    case LUA_TSTRING:
      response.Write(ViewOf(L, index));
      return;
    case LUA_TTABLE:
    case LUA_TFUNCTION:
    case LUA_TTHREAD: {
      size_t length = 0;
      const char* text = luaL_tolstring(L, index, &length);
      response.Write(std::string_view(text, length));
      lua_pop(L, 1);
      return;
    }
    default: {
      Variant value = ToVariant(L, index);
      Guarded(L, [&] {
        response.Write(value.ToText());
        return 0;
      });
    }
  }
}

// The writer .qsp pages call for text and <%= %> values.
int PageWrite(lua_State* L) {
  WriteValue(L, 1, StateOf(L).context->response);
  return 0;
}

// print(...) writes its arguments to the page, separated by tabs, ending with a line break.
int PagePrint(lua_State* L) {
  Response& response = StateOf(L).context->response;
  int count = lua_gettop(L);
  for (int i = 1; i <= count; ++i) {
    if (i > 1) response.Write("\t");
    size_t length = 0;
    const char* text = luaL_tolstring(L, i, &length);
    response.Write(std::string_view(text, length));
    lua_pop(L, 1);
  }
  response.Write("\n");
  return 0;
}

int PageCreateObject(lua_State* L) {
  std::string name(luaL_checkstring(L, 1));
  PageContext& context = *StateOf(L).context;
  return Guarded(L, [&] {
    PushVariant(L, context.server.CreateObject(name));
    return 1;
  });
}

// True when a part of the path starts with "." and is not "." or ".." themselves: the folders
// such as .quenmark (the installation secret), .reports and .locale are private to the host,
// as the web server never serves them.
bool HasPrivatePart(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part.front() == '.' && part != "." && part != "..") return true;
    start = end + 1;
  }
  return false;
}

// Loads the file a page names (relative to the page, or "/..." from the root) as a function.
// Returns false with a message on the stack when the file is missing or private. A private file
// is refused before it is read, so none of its bytes can reach an error message.
bool LoadScriptFile(lua_State* L, const std::string& name) {
  RunState& state = StateOf(L);
  constexpr char kPrivate[] = "cannot open %s: names starting with \".\" are private";
  if (HasPrivatePart(name)) {
    lua_pushfstring(L, kPrivate, name.c_str());
    return false;
  }
  std::string physical;
  Guarded(L, [&] {
    physical = state.context->server.MapPath(name);
    return 0;
  });
  // Also after resolution: a symbolic link may lead into a private folder.
  if (HasPrivatePart(fs::path(physical).lexically_relative(state.root).generic_string())) {
    lua_pushfstring(L, kPrivate, name.c_str());
    return false;
  }
  std::error_code ec;
  if (!fs::is_regular_file(physical, ec)) {
    lua_pushfstring(L, "cannot open %s", name.c_str());
    return false;
  }
  std::shared_ptr<const std::string> bytecode;
  Guarded(L, [&] {
    try {
      bytecode = state.engine->Compile(physical, "@" + VirtualName(state.root, physical));
    } catch (const ScriptError& error) {
      throw Error(ErrorNumber::kGeneric, error.what(), "Lua");
    }
    return 0;
  });
  if (luaL_loadbufferx(L, bytecode->data(), bytecode->size(), name.c_str(), "b") != LUA_OK) {
    lua_error(L);
  }
  return true;
}

int PageDofile(lua_State* L) {
  std::string name(luaL_checkstring(L, 1));
  if (!LoadScriptFile(L, name)) lua_error(L);
  lua_call(L, 0, LUA_MULTRET);
  return lua_gettop(L) - 1;
}

int PageLoadfile(lua_State* L) {
  std::string name(luaL_checkstring(L, 1));
  bool has_env = !lua_isnone(L, 3);
  if (!LoadScriptFile(L, name)) {
    luaL_pushfail(L);
    lua_insert(L, -2);
    return 2;
  }
  if (has_env) {
    lua_pushvalue(L, 3);
    if (!lua_setupvalue(L, -2, 1)) lua_pop(L, 1);
  }
  return 1;
}

// package.searchers entry: modules come from the page's folder or the web root only.
int RootSearcher(lua_State* L) {
  std::string name(luaL_checkstring(L, 1));
  std::string relative = name;
  for (char& c : relative) {
    if (c == '.') c = '/';
  }
  const std::string candidates[] = {relative + ".lua", "/" + relative + ".lua",
                                    "/" + relative + "/init.lua"};
  RunState& state = StateOf(L);
  for (const std::string& candidate : candidates) {
    std::string physical;
    try {
      physical = state.context->server.MapPath(candidate);
    } catch (const Error&) {
      continue;
    }
    std::error_code ec;
    if (!fs::is_regular_file(physical, ec)) continue;
    if (!LoadScriptFile(L, candidate)) lua_error(L);
    lua_pushstring(L, candidate.c_str());
    return 2;
  }
  lua_pushfstring(L, "no module '%s' in the web root", name.c_str());
  return 1;
}

// True for the errors no pcall may stop: Response.End and the page's time limit.
int IsEnd(lua_State* L) {
  lua_pushboolean(L, IsEndMarker(L, 1) || StateOf(L).timed_out);
  return 1;
}

// Keeps Response.End (and Redirect) ending the page even inside pcall, xpcall or a coroutine,
// and keeps binary chunks out of `load`.
constexpr char kPrelude[] = R"lua(
local is_end, raw_pcall, raw_xpcall, raw_load, raw_resume, pack, unpack, raw_error =
  ..., pcall, xpcall, load, coroutine.resume, table.pack, table.unpack, error
local function pass(r)
  if not r[1] and is_end(r[2]) then raw_error(r[2], 0) end
  return unpack(r, 1, r.n)
end
pcall = function(f, ...) return pass(pack(raw_pcall(f, ...))) end
xpcall = function(f, handler, ...)
  return pass(pack(raw_xpcall(f, function(e)
    if is_end(e) then return e end
    return handler(e)
  end, ...)))
end
coroutine.resume = function(co, ...) return pass(pack(raw_resume(co, ...))) end
load = function(chunk, name, mode, env) return raw_load(chunk, name, "t", env) end
)lua";

void OpenSandbox(lua_State* L) {
  static const luaL_Reg kLibraries[] = {{LUA_GNAME, luaopen_base},
                                        {LUA_LOADLIBNAME, luaopen_package},
                                        {LUA_COLIBNAME, luaopen_coroutine},
                                        {LUA_TABLIBNAME, luaopen_table},
                                        {LUA_OSLIBNAME, luaopen_os},
                                        {LUA_STRLIBNAME, luaopen_string},
                                        {LUA_MATHLIBNAME, luaopen_math},
                                        {LUA_UTF8LIBNAME, luaopen_utf8},
                                        {nullptr, nullptr}};
  for (const luaL_Reg* lib = kLibraries; lib->func; ++lib) {
    luaL_requiref(L, lib->name, lib->func, 1);
    lua_pop(L, 1);
  }

  // os: only the clock and calendar functions.
  lua_getglobal(L, "os");
  for (const char* name :
       {"execute", "exit", "getenv", "remove", "rename", "tmpname", "setlocale"}) {
    lua_pushnil(L);
    lua_setfield(L, -2, name);
  }
  lua_pop(L, 1);

  // package: no native libraries, no search path outside the web root.
  lua_getglobal(L, "package");
  lua_pushnil(L);
  lua_setfield(L, -2, "loadlib");
  lua_pushliteral(L, "");
  lua_setfield(L, -2, "path");
  lua_pushliteral(L, "");
  lua_setfield(L, -2, "cpath");
  lua_getfield(L, -1, "searchers");
  lua_rawgeti(L, -1, 1);  // the preload searcher stays
  lua_createtable(L, 2, 0);
  lua_insert(L, -2);
  lua_rawseti(L, -2, 1);
  lua_pushcfunction(L, RootSearcher);
  lua_rawseti(L, -2, 2);
  lua_setfield(L, -3, "searchers");
  lua_pop(L, 2);

  lua_pushcfunction(L, PageDofile);
  lua_setglobal(L, "dofile");
  lua_pushcfunction(L, PageLoadfile);
  lua_setglobal(L, "loadfile");
  lua_pushcfunction(L, PagePrint);
  lua_setglobal(L, "print");
  lua_pushcfunction(L, PageCreateObject);
  lua_setglobal(L, "CreateObject");

  if (luaL_loadbufferx(L, kPrelude, sizeof kPrelude - 1, "=prelude", "t") != LUA_OK) lua_error(L);
  lua_pushcfunction(L, IsEnd);
  lua_call(L, 1, 0);
}

void SetGlobalObject(lua_State* L, const char* name, std::shared_ptr<Dispatchable> object) {
  PushObject(L, std::move(object));
  lua_setglobal(L, name);
}

std::string ReadFile(const fs::path& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return std::move(text).str();
}

int DumpWriter(lua_State*, const void* data, size_t size, void* ud) {
  static_cast<std::string*>(ud)->append(static_cast<const char*>(data), size);
  return 0;
}

ScriptError CompileError(const std::string& chunk_name, std::string message) {
  ScriptFailure failure;
  failure.where = chunk_name.substr(1) + ":";
  failure.description = std::move(message);
  return ScriptError(std::move(failure));
}

}  // namespace

PageEngine::PageEngine(PageLimits limits) : limits_(limits) { EnsureBuiltinObjects(); }

bool PageEngine::IsPage(const fs::path& path) {
  std::string name = path.filename().string();
  return EndsWithIgnoreCase(name, ".lua") || EndsWithIgnoreCase(name, ".qsp");
}

std::shared_ptr<const std::string> PageEngine::Compile(const fs::path& path,
                                                       const std::string& chunk_name) {
  std::error_code ec;
  auto modified = fs::last_write_time(path, ec);
  uintmax_t size = ec ? 0 : fs::file_size(path, ec);
  if (ec) throw CompileError(chunk_name, "cannot open the page: " + ec.message());
  const std::string key = path.string();
  {
    std::lock_guard lock(mutex_);
    auto it = cache_.find(key);
    if (it != cache_.end() && it->second.modified == modified && it->second.size == size &&
        it->second.chunk_name == chunk_name) {
      return it->second.bytecode;
    }
  }

  bool read_ok = false;
  std::string source = ReadFile(path, read_ok);
  if (!read_ok) throw CompileError(chunk_name, "cannot read the page");
  if (source.rfind("\xEF\xBB\xBF", 0) == 0) source.erase(0, 3);
  if (EndsWithIgnoreCase(key, ".qsp")) {
    Result<std::string> compiled = CompileQsp(source);
    if (!compiled) throw CompileError(chunk_name, compiled.Description());
    source = std::move(*compiled);
  }

  LuaPtr state(luaL_newstate());
  if (!state) throw CompileError(chunk_name, "not enough memory");
  lua_State* L = state.get();
  if (luaL_loadbufferx(L, source.data(), source.size(), chunk_name.c_str(), "t") != LUA_OK) {
    throw ScriptError(DescribeFailure(L, -1));
  }
  auto bytecode = std::make_shared<std::string>();
  lua_dump(L, DumpWriter, bytecode.get(), 0);

  std::lock_guard lock(mutex_);
  cache_[key] = Compiled{modified, size, chunk_name, bytecode};
  return bytecode;
}

void PageEngine::Run(const std::string& path, const std::string& virtual_path, PageContext& context,
                     HostObjects& objects) {
  std::shared_ptr<const std::string> bytecode = Compile(path, "@" + virtual_path);

  RunState run_state;
  run_state.engine = this;
  run_state.context = &context;
  std::error_code ec;
  run_state.root = fs::weakly_canonical(fs::absolute(context.server.WebRoot(), ec), ec);
  run_state.memory_limit = limits_.memory_limit;
  if (limits_.time_limit.count() > 0) {
    run_state.has_deadline = true;
    run_state.deadline = std::chrono::steady_clock::now() + limits_.time_limit;
  }

  LuaPtr state(lua_newstate(LimitedAlloc, &run_state));
  if (!state) throw ScriptError(ScriptFailure{0, "", "", "not enough memory to start the page"});
  lua_State* L = state.get();
  *static_cast<RunState**>(lua_getextraspace(L)) = &run_state;

  // Everything that can raise a Lua error runs inside one protected call.
  struct Setup {
    const std::string* bytecode;
    const std::string* chunk_name;
    HostObjects* objects;
  } setup{bytecode.get(), nullptr, &objects};
  std::string chunk_name = "=" + virtual_path;
  setup.chunk_name = &chunk_name;

  lua_pushcfunction(L, [](lua_State* L) -> int {
    auto* setup = static_cast<Setup*>(lua_touserdata(L, 1));
    OpenSandbox(L);
    if (StateOf(L).has_deadline) GuardPatternFunctions(L, PatternClockCheck);
    OpenBridge(L);
    SetGlobalObject(L, "Request", setup->objects->request);
    SetGlobalObject(L, "Response", setup->objects->response);
    SetGlobalObject(L, "Server", setup->objects->server);
    SetGlobalObject(L, "Session", setup->objects->session);
    SetGlobalObject(L, "Application", setup->objects->application);
    if (luaL_loadbufferx(L, setup->bytecode->data(), setup->bytecode->size(),
                         setup->chunk_name->c_str(), "b") != LUA_OK) {
      lua_error(L);
    }
    lua_pushcfunction(L, PageWrite);
    lua_call(L, 1, 0);
    return 0;
  });
  lua_pushlightuserdata(L, &setup);
  if (run_state.has_deadline) lua_sethook(L, TimeHook, LUA_MASKCOUNT, 10000);
  int status = lua_pcall(L, 1, 0, 0);
  if (status == LUA_OK) return;
  if (IsEndMarker(L, -1)) throw ResponseEnded{};
  ScriptFailure failure = DescribeFailure(L, -1);
  if (failure.where.empty() && status == LUA_ERRMEM) failure.description = "not enough memory";
  throw ScriptError(std::move(failure));
}

}  // namespace quenmark::host
