#include "bench/script/lua_automation.h"

extern "C" {
#include <lauxlib.h>
}

#include <cstdio>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "platform/automation/calendar.h"
#include "platform/automation/convert.h"
#include "platform/automation/text.h"

namespace brevalcore::bench {

namespace {

using automation::DispId;
using automation::Object;
using automation::Ref;
using automation::Variant;
using automation::VarType;

constexpr char kObjectMeta[] = "brevalcore.object";
constexpr int kMaxArgs = 8;

Object* CheckObject(lua_State* L, int index) {
  return static_cast<Ref<Object>*>(luaL_checkudata(L, index, kObjectMeta))->get();
}

void PushObject(lua_State* L, Ref<Object> object) {
  if (!object) {
    lua_pushnil(L);
    return;
  }
  new (lua_newuserdatauv(L, sizeof(Ref<Object>), 0)) Ref<Object>(std::move(object));
  luaL_setmetatable(L, kObjectMeta);
}

// Member names resolved once per class, as a script engine caches them per call site.
DispId IdOfName(Object& object, const char* name) {
  static thread_local std::unordered_map<std::type_index, std::unordered_map<std::string, DispId>> cache;
  auto& ids = cache[std::type_index(typeid(object))];
  auto [at, added] = ids.try_emplace(name, automation::kDispIdUnknown);
  if (added) at->second = object.GetIdOfName(automation::FromUtf8(name));
  return at->second;
}

// Lua's errors unwind with longjmp, past C++ destructors: a call runs its C++ part in a scope
// of its own and raises the Lua error only after that scope has ended.
template <class Body>
int Guarded(lua_State* L, Body body) {
  char message[512] = "";
  int results = 0;
  try {
    results = body();
  } catch (const automation::AutomationError& e) {
    std::snprintf(message, sizeof message, "%d: %s", e.number(), automation::ToUtf8(e.description()).c_str());
  } catch (const std::exception& e) {
    std::snprintf(message, sizeof message, "%s", e.what());
  }
  if (message[0]) return luaL_error(L, "%s", message);
  return results;
}

int Invoke(lua_State* L, Object& object, DispId id, automation::InvokeKind kind, int firstArg) {
  const int count = lua_gettop(L) - firstArg + 1;
  if (count > kMaxArgs) return luaL_error(L, "too many arguments");
  return Guarded(L, [&] {
    Variant args[kMaxArgs];
    for (int i = 0; i < count; ++i) args[i] = ToVariant(L, firstArg + i);
    PushVariant(L, object.Invoke(id, kind, std::span<Variant>(args, static_cast<size_t>(count))));
    return 1;
  });
}

// A global member function: the object and the member's id are its upvalues.
int CallMember(lua_State* L) {
  Object& object = *CheckObject(L, lua_upvalueindex(1));
  const auto id = static_cast<DispId>(lua_tointeger(L, lua_upvalueindex(2)));
  return Invoke(L, object, id, static_cast<automation::InvokeKind>(automation::kInvokeMethod | automation::kInvokeGet), 1);
}

int Index(lua_State* L) {
  Object& object = *CheckObject(L, 1);
  const DispId id = IdOfName(object, luaL_checkstring(L, 2));
  if (id == automation::kDispIdUnknown) return luaL_error(L, "no member %s", lua_tostring(L, 2));
  lua_settop(L, 1);
  return Invoke(L, object, id, automation::kInvokeGet, 2);
}

int NewIndex(lua_State* L) {
  Object& object = *CheckObject(L, 1);
  const DispId id = IdOfName(object, luaL_checkstring(L, 2));
  if (id == automation::kDispIdUnknown) return luaL_error(L, "no member %s", lua_tostring(L, 2));
  lua_remove(L, 2);
  Invoke(L, object, id, automation::kInvokePut, 2);
  return 0;
}

int Collect(lua_State* L) {
  static_cast<Ref<Object>*>(luaL_checkudata(L, 1, kObjectMeta))->~Ref<Object>();
  return 0;
}

int DateSerial(lua_State* L) {
  const automation::calendar::Parts parts{static_cast<int>(luaL_checkinteger(L, 1)),
                                          static_cast<int>(luaL_checkinteger(L, 2)),
                                          static_cast<int>(luaL_checkinteger(L, 3))};
  lua_pushnumber(L, automation::calendar::MakeDate(parts).value);
  return 1;
}

}  // namespace

void PushVariant(lua_State* L, const Variant& value) {
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: lua_pushnil(L); break;
    case VarType::Boolean: lua_pushboolean(L, value.AsBool()); break;
    case VarType::Integer: lua_pushinteger(L, value.AsInteger()); break;
    case VarType::Long: lua_pushinteger(L, value.AsLong()); break;
    case VarType::Date: lua_pushnumber(L, value.AsDate().value); break;
    case VarType::String: {
      const std::string text = automation::ToUtf8(value.AsString());
      lua_pushlstring(L, text.data(), text.size());
      break;
    }
    case VarType::Object: PushObject(L, value.AsObjectRef()); break;
    default: lua_pushnumber(L, automation::ToDouble(value)); break;
  }
}

Variant ToVariant(lua_State* L, int index) {
  switch (lua_type(L, index)) {
    case LUA_TBOOLEAN: return Variant(static_cast<bool>(lua_toboolean(L, index)));
    case LUA_TNUMBER:
      if (lua_isinteger(L, index)) {
        const lua_Integer n = lua_tointeger(L, index);
        if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
      }
      return Variant(static_cast<double>(lua_tonumber(L, index)));
    case LUA_TSTRING: {
      size_t size = 0;
      const char* text = lua_tolstring(L, index, &size);
      return Variant(automation::FromUtf8(std::string_view(text, size)));
    }
    case LUA_TUSERDATA: return Variant(Ref<Object>(CheckObject(L, index)));
    default: return Variant();
  }
}

void OpenAutomation(lua_State* L) {
  static const luaL_Reg kMethods[] = {{"__index", Index}, {"__newindex", NewIndex}, {"__gc", Collect}, {nullptr, nullptr}};
  luaL_newmetatable(L, kObjectMeta);
  luaL_setfuncs(L, kMethods, 0);
  lua_pop(L, 1);
  lua_register(L, "DateSerial", DateSerial);
}

void AddNamedObject(lua_State* L, const char* name, Ref<Object> object, const automation::ClassInfo& members) {
  PushObject(L, std::move(object));
  for (const automation::MemberInfo& member : members.members) {
    if (!member.method.thunk && !member.get.thunk) continue;
    lua_pushvalue(L, -1);
    lua_pushinteger(L, member.id);
    lua_pushcclosure(L, CallMember, 2);
    lua_setglobal(L, automation::ToUtf8(member.name).c_str());
  }
  lua_setglobal(L, name);
}

}  // namespace brevalcore::bench
