#pragma once
// Automation objects seen from Lua, as a host would bind them: an object is a userdata whose
// fields are its properties, and a named object's members are also global functions, as in
// VBScript. Calls go through the object's dispatch ids, so a Lua rule reaches the same C++
// members, with the same argument conversions, as a VBScript rule does.
extern "C" {
#include <lua.h>
}

#include "platform/automation/dispatch.h"

namespace brevalcore::bench {

// Empty and Null are nil, Boolean boolean, Integer and Long integers, the other numbers and
// Dates (their day count) numbers, String a UTF-8 string, Object a userdata.
void PushVariant(lua_State* L, const automation::Variant& value);
automation::Variant ToVariant(lua_State* L, int index);

// Registers the object metatable and DateSerial(year, month, day), a Date's day count.
void OpenAutomation(lua_State* L);

// `object` as the global `name`, each of its members in `members` a global function.
void AddNamedObject(lua_State* L, const char* name, automation::Ref<automation::Object> object,
                    const automation::ClassInfo& members);

}  // namespace brevalcore::bench
