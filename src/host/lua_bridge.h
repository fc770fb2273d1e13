#pragma once
// The bridge between Lua page scripts and library objects. It is generic over DispatchTable:
// every Dispatchable becomes a userdata whose members are found by name (ignoring case), so a new
// member of a library class needs no binding code here.
//
//   obj:Method(x) and obj.Method(x)   call a method
//   obj.Prop / obj.Prop = v           read / write a property
//   obj(x)                            the default member "Item" (Request("x"), Session("k"))
//   obj.name, obj.name = v            "Item" again when the class has no member of that name
//
// Values convert as: nil <-> Empty, the global `Null` <-> Null, booleans, integers, reals,
// strings <-> text (bytes go out as strings), dates <-> date userdata, lists <-> sequences.

#include <lua.hpp>
#include <memory>
#include <string>

#include "quenmark/dispatch.h"
#include "quenmark/error.h"
#include "quenmark/variant.h"

namespace quenmark::host {

/// Registers the metatables and the globals `Null` and `Date` in `L`.
void OpenBridge(lua_State* L);

void PushVariant(lua_State* L, const Variant& value);
/// Converts the Lua value at `index`; tables become lists of their sequence part; functions and
/// other values raise a type-mismatch error.
Variant ToVariant(lua_State* L, int index);
void PushObject(lua_State* L, std::shared_ptr<Dispatchable> object);

namespace detail {
struct PendingFailure {
  enum class Kind { kEnded, kError, kOther } kind = Kind::kOther;
  int number = 0;
  std::string source;
  std::string description;
};
/// Raises the failure as a Lua error; never returns.
[[noreturn]] void RaisePending(lua_State* L, PendingFailure& failure);
}  // namespace detail

/// Runs `body` as the body of a lua_CFunction: library exceptions become Lua errors (an error
/// object for quenmark::Error, the end marker for ResponseEnded) raised after the C++ frames
/// have unwound. Lua's own errors pass through untouched. Returns what `body` returns.
template <class Body>
int Guarded(lua_State* L, Body&& body) {
  detail::PendingFailure failure;
  try {
    return body();
  } catch (const ResponseEnded&) {
    failure.kind = detail::PendingFailure::Kind::kEnded;
  } catch (const Error& error) {
    failure.kind = detail::PendingFailure::Kind::kError;
    failure.number = error.Number();
    failure.source = error.Source();
    failure.description = error.Description();
  } catch (const std::exception& error) {
    failure.description = error.what();
  }
  detail::RaisePending(L, failure);
}

/// Raises the marker that `Response.End` became inside Lua.
[[noreturn]] void RaiseEnded(lua_State* L);
/// True when the value at `index` is the end marker.
bool IsEndMarker(lua_State* L, int index);

/// What a failed script reported: an error object raised from C++ or a Lua message.
struct ScriptFailure {
  int number = 0;           ///< error number (0 for plain Lua errors)
  std::string source;       ///< error source ("" for plain Lua errors)
  std::string where;        ///< "chunk:line:" prefix, may be ""
  std::string description;  ///< the message without the location
};

/// Describes the error value at `index`.
ScriptFailure DescribeFailure(lua_State* L, int index);

}  // namespace quenmark::host
