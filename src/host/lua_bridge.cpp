#include "host/lua_bridge.h"

#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/text_util.h"

namespace quenmark::host {

namespace {

constexpr char kObjectMeta[] = "quenmark.object";
constexpr char kDateMeta[] = "quenmark.date";
constexpr char kErrorMeta[] = "quenmark.error";
constexpr int kMaxListDepth = 32;

// Addresses used as light userdata markers.
const char kNullTag = 0;
const char kEndTag = 0;

struct ObjectBox {
  std::shared_ptr<Dispatchable> object;
};

struct DateBox {
  DateTime value;
};

struct ErrorBox {
  ScriptFailure failure;
};

std::string_view ViewOf(lua_State* L, int index) {
  size_t length = 0;
  const char* text = lua_tolstring(L, index, &length);
  return text ? std::string_view(text, length) : std::string_view();
}

ObjectBox& CheckObject(lua_State* L, int index) {
  return *static_cast<ObjectBox*>(luaL_checkudata(L, index, kObjectMeta));
}

DateBox& CheckDate(lua_State* L, int index) {
  return *static_cast<DateBox*>(luaL_checkudata(L, index, kDateMeta));
}

void PushDate(lua_State* L, const DateTime& value) {
  new (lua_newuserdatauv(L, sizeof(DateBox), 0)) DateBox{value};
  luaL_setmetatable(L, kDateMeta);
}

// Calls the default member "Item": a method with the arguments, or a property read.
Variant CallDefault(Dispatchable& object, std::vector<Variant> args) {
  const Member* item = object.Members().Find("Item");
  if (item && !item->IsMethod() && args.empty()) return GetProperty(object, "Item");
  return CallMember(object, "Item", std::move(args));
}

std::vector<Variant> ArgumentsFrom(lua_State* L, int first) {
  std::vector<Variant> args;
  int top = lua_gettop(L);
  if (top >= first) args.reserve(static_cast<size_t>(top - first + 1));
  for (int i = first; i <= top; ++i) args.push_back(ToVariant(L, i));
  return args;
}

// A method fetched from an object. Upvalues: the object, the member name. Called as
// obj:Method(x) the object arrives again as the first argument and is skipped.
int MethodThunk(lua_State* L) {
  auto* box = static_cast<ObjectBox*>(lua_touserdata(L, lua_upvalueindex(1)));
  int first = 1;
  if (auto* self = static_cast<ObjectBox*>(luaL_testudata(L, 1, kObjectMeta));
      self && self->object == box->object) {
    first = 2;
  }
  std::vector<Variant> args = ArgumentsFrom(L, first);
  std::string_view name = ViewOf(L, lua_upvalueindex(2));
  return Guarded(L, [&] {
    Variant result = CallMember(*box->object, name, std::move(args));
    PushVariant(L, result);
    return 1;
  });
}

int ObjectIndex(lua_State* L) {
  ObjectBox& box = CheckObject(L, 1);
  Dispatchable& object = *box.object;
  if (lua_type(L, 2) == LUA_TSTRING) {
    std::string_view name = ViewOf(L, 2);
    const Member* member = object.Members().Find(name);
    if (member && member->IsMethod()) {
      lua_pushvalue(L, 1);
      lua_pushvalue(L, 2);
      lua_pushcclosure(L, MethodThunk, 2);
      return 1;
    }
    if (member || !object.Members().Find("Item")) {
      return Guarded(L, [&] {
        PushVariant(L, GetProperty(object, name));
        return 1;
      });
    }
  }
  std::vector<Variant> args{ToVariant(L, 2)};
  return Guarded(L, [&] {
    PushVariant(L, CallDefault(object, std::move(args)));
    return 1;
  });
}

int ObjectNewIndex(lua_State* L) {
  ObjectBox& box = CheckObject(L, 1);
  Dispatchable& object = *box.object;
  Variant value = ToVariant(L, 3);
  if (lua_type(L, 2) == LUA_TSTRING) {
    std::string_view name = ViewOf(L, 2);
    const Member* member = object.Members().Find(name);
    if (member || !object.Members().Find("Item")) {
      return Guarded(L, [&] {
        SetProperty(object, name, value);
        return 0;
      });
    }
  }
  std::vector<Variant> args{ToVariant(L, 2), std::move(value)};
  return Guarded(L, [&] {
    CallMember(object, "Item", std::move(args));
    return 0;
  });
}

int ObjectCall(lua_State* L) {
  ObjectBox& box = CheckObject(L, 1);
  std::vector<Variant> args = ArgumentsFrom(L, 2);
  return Guarded(L, [&] {
    PushVariant(L, CallDefault(*box.object, std::move(args)));
    return 1;
  });
}

int ObjectLength(lua_State* L) {
  ObjectBox& box = CheckObject(L, 1);
  return Guarded(L, [&] {
    lua_pushinteger(L, GetProperty(*box.object, "Count").ToInt64());
    return 1;
  });
}

int ObjectGc(lua_State* L) {
  static_cast<ObjectBox*>(lua_touserdata(L, 1))->~ObjectBox();
  return 0;
}

int ObjectToString(lua_State* L) {
  std::string_view name = CheckObject(L, 1).object->ClassName();
  lua_pushlstring(L, name.data(), name.size());
  return 1;
}

int ObjectEquals(lua_State* L) {
  auto* a = static_cast<ObjectBox*>(luaL_testudata(L, 1, kObjectMeta));
  auto* b = static_cast<ObjectBox*>(luaL_testudata(L, 2, kObjectMeta));
  lua_pushboolean(L, a && b && a->object == b->object);
  return 1;
}

int DateIndex(lua_State* L) {
  const DateTime& date = CheckDate(L, 1).value;
  std::string_view key = ViewOf(L, 2);
  const std::pair<const char*, int> parts[] = {{"year", date.year},     {"month", date.month},
                                               {"day", date.day},       {"hour", date.hour},
                                               {"minute", date.minute}, {"second", date.second}};
  for (const auto& [name, value] : parts) {
    if (EqualsIgnoreCase(key, name)) {
      lua_pushinteger(L, value);
      return 1;
    }
  }
  lua_pushnil(L);
  return 1;
}

int DateToString(lua_State* L) {
  const DateTime& date = CheckDate(L, 1).value;
  return Guarded(L, [&] {
    std::string text = Variant(date).ToText();
    lua_pushlstring(L, text.data(), text.size());
    return 1;
  });
}

int DateEquals(lua_State* L) {
  lua_pushboolean(L, CheckDate(L, 1).value == CheckDate(L, 2).value);
  return 1;
}

int DateLess(lua_State* L) {
  lua_pushboolean(L, CheckDate(L, 1).value < CheckDate(L, 2).value);
  return 1;
}

int DateLessOrEqual(lua_State* L) {
  lua_pushboolean(L, CheckDate(L, 1).value <= CheckDate(L, 2).value);
  return 1;
}

// Date(y, m, d [, h, mi, s]) or Date("2004-03-01 10:00").
int NewDate(lua_State* L) {
  if (lua_type(L, 1) == LUA_TSTRING) {
    std::string text(ViewOf(L, 1));
    return Guarded(L, [&] {
      PushDate(L, Variant(text).ToDate());
      return 1;
    });
  }
  DateTime date;
  date.year = static_cast<int>(luaL_checkinteger(L, 1));
  date.month = static_cast<int>(luaL_checkinteger(L, 2));
  date.day = static_cast<int>(luaL_checkinteger(L, 3));
  date.hour = static_cast<int>(luaL_optinteger(L, 4, 0));
  date.minute = static_cast<int>(luaL_optinteger(L, 5, 0));
  date.second = static_cast<int>(luaL_optinteger(L, 6, 0));
  if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31 || date.hour < 0 ||
      date.hour > 23 || date.minute < 0 || date.minute > 59 || date.second < 0 ||
      date.second > 59) {
    return luaL_error(L, "Date: invalid date or time");
  }
  PushDate(L, date);
  return 1;
}

int ErrorIndex(lua_State* L) {
  const ScriptFailure& failure = static_cast<ErrorBox*>(luaL_checkudata(L, 1, kErrorMeta))->failure;
  std::string_view key = ViewOf(L, 2);
  if (EqualsIgnoreCase(key, "number")) {
    lua_pushinteger(L, failure.number);
  } else if (EqualsIgnoreCase(key, "source")) {
    lua_pushlstring(L, failure.source.data(), failure.source.size());
  } else if (EqualsIgnoreCase(key, "description")) {
    lua_pushlstring(L, failure.description.data(), failure.description.size());
  } else if (EqualsIgnoreCase(key, "where")) {
    lua_pushlstring(L, failure.where.data(), failure.where.size());
  } else {
    lua_pushnil(L);
  }
  return 1;
}

int ErrorToString(lua_State* L) {
  const ScriptFailure& failure = static_cast<ErrorBox*>(luaL_checkudata(L, 1, kErrorMeta))->failure;
  std::string text =
      failure.where.empty() ? failure.description : failure.where + " " + failure.description;
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

int ErrorGc(lua_State* L) {
  static_cast<ErrorBox*>(lua_touserdata(L, 1))->~ErrorBox();
  return 0;
}

Variant ToVariantAt(lua_State* L, int index, int depth) {
  switch (lua_type(L, index)) {
    case LUA_TNONE:
    case LUA_TNIL:
      return Variant();
    case LUA_TBOOLEAN:
      return Variant(lua_toboolean(L, index) != 0);
    case LUA_TNUMBER:
      if (lua_isinteger(L, index)) return Variant(static_cast<int64_t>(lua_tointeger(L, index)));
      return Variant(static_cast<double>(lua_tonumber(L, index)));
    case LUA_TSTRING:
      return Variant(std::string(ViewOf(L, index)));
    case LUA_TLIGHTUSERDATA:
      if (lua_touserdata(L, index) == &kNullTag) return Variant::Null();
      break;
    case LUA_TUSERDATA:
      if (auto* box = static_cast<ObjectBox*>(luaL_testudata(L, index, kObjectMeta))) {
        return Variant(box->object);
      }
      if (auto* date = static_cast<DateBox*>(luaL_testudata(L, index, kDateMeta))) {
        return Variant(date->value);
      }
      if (auto* error = static_cast<ErrorBox*>(luaL_testudata(L, index, kErrorMeta))) {
        return Variant(error->failure.description);
      }
      break;
    case LUA_TTABLE: {
      if (depth >= kMaxListDepth) luaL_error(L, "Type mismatch: tables nested too deeply");
      index = lua_absindex(L, index);
      lua_Unsigned length = lua_rawlen(L, index);
      std::vector<Variant> items;
      items.reserve(length);
      luaL_checkstack(L, 2, "nested tables");
      for (lua_Unsigned i = 1; i <= length; ++i) {
        lua_rawgeti(L, index, static_cast<lua_Integer>(i));
        items.push_back(ToVariantAt(L, -1, depth + 1));
        lua_pop(L, 1);
      }
      return Variant(std::move(items));
    }
    default:
      break;
  }
  luaL_error(L, "Type mismatch: a %s cannot be passed to a library object",
             luaL_typename(L, index));
  return Variant();
}

void NewMetatable(lua_State* L, const char* name, const luaL_Reg* functions) {
  luaL_newmetatable(L, name);
  luaL_setfuncs(L, functions, 0);
  lua_pushliteral(L, "locked");
  lua_setfield(L, -2, "__metatable");
  lua_pop(L, 1);
}

}  // namespace

namespace detail {

void RaisePending(lua_State* L, PendingFailure& failure) {
  if (failure.kind == PendingFailure::Kind::kEnded) RaiseEnded(L);
  auto* box = new (lua_newuserdatauv(L, sizeof(ErrorBox), 0)) ErrorBox{};
  luaL_setmetatable(L, kErrorMeta);
  box->failure.number = failure.number;
  box->failure.source = std::move(failure.source);
  box->failure.description = std::move(failure.description);
  luaL_where(L, 1);
  std::string_view where = ViewOf(L, -1);
  while (!where.empty() && where.back() == ' ') where.remove_suffix(1);
  box->failure.where = std::string(where);
  lua_pop(L, 1);
  lua_error(L);
  std::abort();  // lua_error does not return
}

}  // namespace detail

void OpenBridge(lua_State* L) {
  static const luaL_Reg kObjectFunctions[] = {
      {"__index", ObjectIndex}, {"__newindex", ObjectNewIndex},
      {"__call", ObjectCall},   {"__len", ObjectLength},
      {"__gc", ObjectGc},       {"__tostring", ObjectToString},
      {"__eq", ObjectEquals},   {nullptr, nullptr}};
  static const luaL_Reg kDateFunctions[] = {{"__index", DateIndex},    {"__tostring", DateToString},
                                            {"__eq", DateEquals},      {"__lt", DateLess},
                                            {"__le", DateLessOrEqual}, {nullptr, nullptr}};
  static const luaL_Reg kErrorFunctions[] = {{"__index", ErrorIndex},
                                             {"__tostring", ErrorToString},
                                             {"__gc", ErrorGc},
                                             {nullptr, nullptr}};
  NewMetatable(L, kObjectMeta, kObjectFunctions);
  NewMetatable(L, kDateMeta, kDateFunctions);
  NewMetatable(L, kErrorMeta, kErrorFunctions);
  lua_pushlightuserdata(L, const_cast<char*>(&kNullTag));
  lua_setglobal(L, "Null");
  lua_pushcfunction(L, NewDate);
  lua_setglobal(L, "Date");
}

void PushVariant(lua_State* L, const Variant& value) {
  luaL_checkstack(L, 3, "value conversion");
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      lua_pushnil(L);
      break;
    case Variant::Kind::kNull:
      lua_pushlightuserdata(L, const_cast<char*>(&kNullTag));
      break;
    case Variant::Kind::kBoolean:
      lua_pushboolean(L, value.AsBoolean());
      break;
    case Variant::Kind::kInteger:
      lua_pushinteger(L, static_cast<lua_Integer>(value.AsInteger()));
      break;
    case Variant::Kind::kReal:
      lua_pushnumber(L, value.AsReal());
      break;
    case Variant::Kind::kText:
      lua_pushlstring(L, value.AsText().data(), value.AsText().size());
      break;
    case Variant::Kind::kDate:
      PushDate(L, value.AsDate());
      break;
    case Variant::Kind::kBytes:
      lua_pushlstring(L, value.AsBytes().data.data(), value.AsBytes().data.size());
      break;
    case Variant::Kind::kList: {
      const auto& items = value.AsList();
      lua_createtable(L, static_cast<int>(items.size()), 0);
      for (size_t i = 0; i < items.size(); ++i) {
        PushVariant(L, items[i]);
        lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
      }
      break;
    }
    case Variant::Kind::kObject:
      PushObject(L, value.ToObject());
      break;
  }
}

Variant ToVariant(lua_State* L, int index) { return ToVariantAt(L, index, 0); }

void PushObject(lua_State* L, std::shared_ptr<Dispatchable> object) {
  if (!object) {
    lua_pushnil(L);
    return;
  }
  new (lua_newuserdatauv(L, sizeof(ObjectBox), 0)) ObjectBox{std::move(object)};
  luaL_setmetatable(L, kObjectMeta);
}

void RaiseEnded(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kEndTag));
  lua_error(L);
  std::abort();  // lua_error does not return
}

bool IsEndMarker(lua_State* L, int index) {
  return lua_type(L, index) == LUA_TLIGHTUSERDATA && lua_touserdata(L, index) == &kEndTag;
}

ScriptFailure DescribeFailure(lua_State* L, int index) {
  if (auto* box = static_cast<ErrorBox*>(luaL_testudata(L, index, kErrorMeta))) {
    return box->failure;
  }
  ScriptFailure failure;
  if (lua_type(L, index) != LUA_TSTRING) {
    if (lua_type(L, index) == LUA_TNUMBER) {
      failure.description = std::string(ViewOf(L, index));
    } else {
      failure.description =
          std::string("(error object is a ") + luaL_typename(L, index) + " value)";
    }
    return failure;
  }
  // Lua messages start with "chunk:line:" when the position is known.
  std::string message(ViewOf(L, index));
  size_t colon = message.find(':');
  while (colon != std::string::npos) {
    size_t digits_end = colon + 1;
    while (digits_end < message.size() && message[digits_end] >= '0' &&
           message[digits_end] <= '9') {
      ++digits_end;
    }
    if (digits_end > colon + 1 && digits_end < message.size() && message[digits_end] == ':') {
      failure.where = message.substr(0, digits_end + 1);
      size_t rest = digits_end + 1;
      while (rest < message.size() && message[rest] == ' ') ++rest;
      failure.description = message.substr(rest);
      return failure;
    }
    colon = message.find(':', colon + 1);
  }
  failure.description = std::move(message);
  return failure;
}

}  // namespace quenmark::host
