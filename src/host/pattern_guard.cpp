#include "host/pattern_guard.h"

#include <lua.hpp>

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace quenmark::host {

namespace {

// The string library matches patterns in C, where the page's instruction count never runs:
// a backtracking pattern ("(.-)(.-)(.-)x" over a long text) could run for hours past the
// page's time limit. Before a pattern function runs, the same backtracking search is walked
// here, counting steps and asking the page's clock every few thousand; when the walk ends in
// time, the library's own function gives the result (this walk only measures the work).

constexpr int kMaxCaptures = 32;
constexpr int kMaxDepth = 200;
constexpr long kStepsPerCheck = 1 << 14;
constexpr int kPositionCapture = -2;
constexpr int kUnfinishedCapture = -1;

struct Walk {
  lua_State* L;
  PatternClock clock;
  const char* src_init;
  const char* src_end;
  const char* p_end;
  int depth;
  bool abandoned;  // malformed or too complex: the library reports it itself
  long steps;
  int level;
  struct {
    const char* init;
    ptrdiff_t len;
  } capture[kMaxCaptures];

  void Step() {
    if (++steps % kStepsPerCheck == 0) clock(L);
  }
};

const char* ClassEnd(Walk& w, const char* p) {
  if (p >= w.p_end) return nullptr;
  char c = *p++;
  if (c == '%') {
    if (p >= w.p_end) return nullptr;
    return p + 1;
  }
  if (c == '[') {
    if (p < w.p_end && *p == '^') ++p;
    do {
      if (p >= w.p_end) return nullptr;
      c = *p++;
      if (c == '%') {
        if (p >= w.p_end) return nullptr;
        ++p;
      }
    } while (p >= w.p_end || *p != ']');
    return p + 1;
  }
  return p;
}

bool ClassMatches(int c, int cl) {
  bool result;
  switch (std::tolower(cl)) {
    case 'a': result = std::isalpha(c); break;
    case 'c': result = std::iscntrl(c); break;
    case 'd': result = std::isdigit(c); break;
    case 'g': result = std::isgraph(c); break;
    case 'l': result = std::islower(c); break;
    case 'p': result = std::ispunct(c); break;
    case 's': result = std::isspace(c); break;
    case 'u': result = std::isupper(c); break;
    case 'w': result = std::isalnum(c); break;
    case 'x': result = std::isxdigit(c); break;
    default: return cl == c;
  }
  return std::isupper(cl) ? !result : result;
}

bool SetMatches(int c, const char* p, const char* ec) {
  bool sig = true;
  if (*(p + 1) == '^') {
    sig = false;
    ++p;
  }
  while (++p < ec) {
    if (*p == '%') {
      ++p;
      if (ClassMatches(c, static_cast<unsigned char>(*p))) return sig;
    } else if (*(p + 1) == '-' && p + 2 < ec) {
      p += 2;
      if (static_cast<unsigned char>(*(p - 2)) <= c && c <= static_cast<unsigned char>(*p)) {
        return sig;
      }
    } else if (static_cast<unsigned char>(*p) == c) {
      return sig;
    }
  }
  return !sig;
}

bool SingleMatch(Walk& w, const char* s, const char* p, const char* ep) {
  if (s >= w.src_end) return false;
  int c = static_cast<unsigned char>(*s);
  switch (*p) {
    case '.': return true;
    case '%': return ClassMatches(c, static_cast<unsigned char>(*(p + 1)));
    case '[': return SetMatches(c, p, ep - 1);
    default: return static_cast<unsigned char>(*p) == c;
  }
}

const char* Match(Walk& w, const char* s, const char* p);

const char* MaxExpand(Walk& w, const char* s, const char* p, const char* ep) {
  ptrdiff_t i = 0;
  while (SingleMatch(w, s + i, p, ep)) {
    ++i;
    w.Step();
  }
  while (i >= 0 && !w.abandoned) {
    const char* res = Match(w, s + i, ep + 1);
    if (res) return res;
    --i;
    w.Step();
  }
  return nullptr;
}

const char* MinExpand(Walk& w, const char* s, const char* p, const char* ep) {
  for (;;) {
    w.Step();
    const char* res = Match(w, s, ep + 1);
    if (res || w.abandoned) return res;
    if (!SingleMatch(w, s, p, ep)) return nullptr;
    ++s;
  }
}

const char* StartCapture(Walk& w, const char* s, const char* p, int what) {
  if (w.level >= kMaxCaptures) {
    w.abandoned = true;
    return nullptr;
  }
  w.capture[w.level].init = s;
  w.capture[w.level].len = what;
  w.level++;
  const char* res = Match(w, s, p);
  if (!res) w.level--;
  return res;
}

const char* EndCapture(Walk& w, const char* s, const char* p) {
  int l = -1;
  for (int i = w.level - 1; i >= 0; --i) {
    if (w.capture[i].len == kUnfinishedCapture) {
      l = i;
      break;
    }
  }
  if (l < 0) {
    w.abandoned = true;
    return nullptr;
  }
  w.capture[l].len = s - w.capture[l].init;
  const char* res = Match(w, s, p);
  if (!res) w.capture[l].len = kUnfinishedCapture;
  return res;
}

const char* MatchBalance(Walk& w, const char* s, const char* p) {
  if (p + 1 >= w.p_end) {
    w.abandoned = true;
    return nullptr;
  }
  if (s >= w.src_end || *s != *p) return nullptr;
  int b = *p, e = *(p + 1), cont = 1;
  while (++s < w.src_end) {
    w.Step();
    if (*s == e) {
      if (--cont == 0) return s + 1;
    } else if (*s == b) {
      ++cont;
    }
  }
  return nullptr;
}

const char* MatchCapture(Walk& w, const char* s, int l) {
  l -= '1';
  if (l < 0 || l >= w.level || w.capture[l].len == kUnfinishedCapture) {
    w.abandoned = true;
    return nullptr;
  }
  size_t len = w.capture[l].len == kPositionCapture ? 0 : static_cast<size_t>(w.capture[l].len);
  if (static_cast<size_t>(w.src_end - s) >= len && std::memcmp(w.capture[l].init, s, len) == 0) {
    return s + len;
  }
  return nullptr;
}

const char* Match(Walk& w, const char* s, const char* p) {
  if (w.abandoned) return nullptr;
  if (w.depth-- == 0) {
    w.abandoned = true;
    return nullptr;
  }
  while (p != w.p_end && s) {
    w.Step();
    switch (*p) {
      case '(':
        s = (p + 1 < w.p_end && *(p + 1) == ')') ? StartCapture(w, s, p + 2, kPositionCapture)
                                                  : StartCapture(w, s, p + 1, kUnfinishedCapture);
        goto done;
      case ')':
        s = EndCapture(w, s, p + 1);
        goto done;
      case '$':
        if (p + 1 != w.p_end) goto single;
        s = (s == w.src_end) ? s : nullptr;
        goto done;
      case '%':
        if (p + 1 >= w.p_end) {
          w.abandoned = true;
          s = nullptr;
          goto done;
        }
        switch (*(p + 1)) {
          case 'b':
            s = MatchBalance(w, s, p + 2);
            if (s) {
              p += 4;
              continue;
            }
            goto done;
          case 'f': {
            p += 2;
            if (p >= w.p_end || *p != '[') {
              w.abandoned = true;
              s = nullptr;
              goto done;
            }
            const char* ep = ClassEnd(w, p);
            if (!ep) {
              w.abandoned = true;
              s = nullptr;
              goto done;
            }
            int previous = (s == w.src_init) ? 0 : static_cast<unsigned char>(*(s - 1));
            int current = (s < w.src_end) ? static_cast<unsigned char>(*s) : 0;
            if (!SetMatches(previous, p, ep - 1) && SetMatches(current, p, ep - 1)) {
              p = ep;
              continue;
            }
            s = nullptr;
            goto done;
          }
          case '0': case '1': case '2': case '3': case '4':
          case '5': case '6': case '7': case '8': case '9':
            s = MatchCapture(w, s, static_cast<unsigned char>(*(p + 1)));
            if (s) {
              p += 2;
              continue;
            }
            goto done;
          default:
            goto single;
        }
      default:
      single: {
        const char* ep = ClassEnd(w, p);
        if (!ep) {
          w.abandoned = true;
          s = nullptr;
          goto done;
        }
        if (!SingleMatch(w, s, p, ep)) {
          if (ep < w.p_end && (*ep == '*' || *ep == '?' || *ep == '-')) {
            p = ep + 1;
            continue;
          }
          s = nullptr;
        } else {
          switch (ep < w.p_end ? *ep : '\0') {
            case '?': {
              const char* res = Match(w, s + 1, ep + 1);
              if (res) {
                s = res;
              } else {
                p = ep + 1;
                continue;
              }
              break;
            }
            case '+': s = MaxExpand(w, s + 1, p, ep); break;
            case '*': s = MaxExpand(w, s, p, ep); break;
            case '-': s = MinExpand(w, s, p, ep); break;
            default:
              ++s;
              p = ep;
              continue;
          }
        }
        goto done;
      }
    }
  }
done:
  w.depth++;
  return s;
}

bool HasSpecials(const char* p, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (std::strchr("^$*+?.([%-", p[i]) && p[i] != '\0') return true;
  }
  return false;
}

size_t StartIndex(lua_Integer init, size_t length) {
  if (init > 0) return static_cast<size_t>(init) - 1;
  if (init == 0) return 0;
  if (init < -static_cast<lua_Integer>(length)) return 0;
  return length + static_cast<size_t>(init);
}

// Walks a search from `start` as find/match/gsub/gmatch do; `all` keeps going after a match.
void WalkSearch(lua_State* L, PatternClock clock, const char* s, size_t ls, const char* p,
                size_t lp, size_t start, bool all, lua_Integer max_matches) {
  if (start > ls) return;
  Walk w{};
  w.L = L;
  w.clock = clock;
  w.src_init = s;
  w.src_end = s + ls;
  bool anchor = lp > 0 && *p == '^';
  if (anchor) {
    ++p;
    --lp;
  }
  w.p_end = p + lp;
  const char* src = s + start;
  const char* last_match = nullptr;
  lua_Integer matches = 0;
  while (matches < max_matches) {
    w.level = 0;
    w.depth = kMaxDepth;
    const char* e = Match(w, src, p);
    if (w.abandoned) return;
    if (e && e != last_match) {
      if (!all) return;
      ++matches;
      src = last_match = e;
    } else if (src < w.src_end) {
      ++src;
    } else {
      break;
    }
    if (anchor) break;
  }
}

PatternClock ClockOf(lua_State* L) {
  return reinterpret_cast<PatternClock>(lua_touserdata(L, lua_upvalueindex(2)));
}

// find(s, p, init, plain) and match(s, p, init): upvalue 1 is the library's function.
int GuardedFind(lua_State* L) {
  size_t ls = 0, lp = 0;
  const char* s = luaL_checklstring(L, 1, &ls);
  const char* p = luaL_checklstring(L, 2, &lp);
  size_t start = StartIndex(luaL_optinteger(L, 3, 1), ls);
  bool is_find = lua_toboolean(L, lua_upvalueindex(3));
  bool plain = is_find && lua_toboolean(L, 4);
  if (!plain && HasSpecials(p, lp)) WalkSearch(L, ClockOf(L), s, ls, p, lp, start, false, 1);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

int GuardedGsub(lua_State* L) {
  size_t ls = 0, lp = 0;
  const char* s = luaL_checklstring(L, 1, &ls);
  const char* p = luaL_checklstring(L, 2, &lp);
  lua_Integer max_matches = luaL_optinteger(L, 4, static_cast<lua_Integer>(ls) + 1);
  WalkSearch(L, ClockOf(L), s, ls, p, lp, 0, true, max_matches);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

// gmatch: each call of the iterator walks one step of the search before the library's
// iterator takes it. Upvalues: library iterator, clock, subject, pattern, position, last end.
int GuardedGmatchStep(lua_State* L) {
  lua_settop(L, 0);  // the generic for passes its state and control values
  size_t ls = 0, lp = 0;
  const char* s = lua_tolstring(L, lua_upvalueindex(3), &ls);
  const char* p = lua_tolstring(L, lua_upvalueindex(4), &lp);
  auto position = static_cast<size_t>(lua_tointeger(L, lua_upvalueindex(5)));
  lua_Integer last = lua_tointeger(L, lua_upvalueindex(6));
  Walk w{};
  w.L = L;
  w.clock = ClockOf(L);
  w.src_init = s;
  w.src_end = s + ls;
  w.p_end = p + lp;
  for (const char* src = s + position; src <= w.src_end; ++src) {
    w.level = 0;
    w.depth = kMaxDepth;
    const char* e = Match(w, src, p);
    if (w.abandoned) break;
    if (e && e - s != last) {
      lua_pushinteger(L, e - s);
      lua_replace(L, lua_upvalueindex(5));
      lua_pushinteger(L, e - s);
      lua_replace(L, lua_upvalueindex(6));
      break;
    }
  }
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_call(L, 0, LUA_MULTRET);
  return lua_gettop(L);
}

int GuardedGmatch(lua_State* L) {
  size_t ls = 0;
  luaL_checklstring(L, 1, &ls);
  luaL_checkstring(L, 2);
  size_t start = StartIndex(luaL_optinteger(L, 3, 1), ls);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_pushvalue(L, 1);
  lua_pushvalue(L, 2);
  if (lua_gettop(L) >= 6) {
    lua_pushvalue(L, 3);
    lua_call(L, 3, 1);
  } else {
    lua_call(L, 2, 1);
  }
  // upvalues: iterator, clock, subject, pattern, position, last end
  lua_pushvalue(L, lua_upvalueindex(2));
  lua_pushvalue(L, 1);
  lua_pushvalue(L, 2);
  lua_pushinteger(L, static_cast<lua_Integer>(start > ls ? ls + 1 : start));
  lua_pushinteger(L, -1);
  lua_pushcclosure(L, GuardedGmatchStep, 6);
  return 1;
}

}  // namespace

void GuardPatternFunctions(lua_State* L, PatternClock clock) {
  lua_getglobal(L, "string");
  struct Guard {
    const char* name;
    lua_CFunction guard;
    bool is_find;
  };
  for (const Guard& g : {Guard{"find", GuardedFind, true}, Guard{"match", GuardedFind, false},
                         Guard{"gsub", GuardedGsub, false}, Guard{"gmatch", GuardedGmatch, false}}) {
    lua_getfield(L, -1, g.name);
    lua_pushlightuserdata(L, reinterpret_cast<void*>(clock));
    lua_pushboolean(L, g.is_find);
    lua_pushcclosure(L, g.guard, 3);
    lua_setfield(L, -2, g.name);
  }
  lua_pop(L, 1);
}

}  // namespace quenmark::host
