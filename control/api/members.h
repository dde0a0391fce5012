#pragma once
// The members of the host contract by name, with text arguments and a text result: what
// brevalcore_call offers every language. Each member's parameters are named and typed as the
// contract declares them, so a wrong count or a value that is not of the parameter's type is
// refused with a message naming the member, the parameter and the value.
#include <span>
#include <string>
#include <string_view>

#include "brevalcore/control.h"

namespace brevalcore::api {

struct MemberOutcome {
  int number = 0;  // 0: done
  std::string message;
  std::string result;
};

// Calls `member` (case-insensitive; "Object.Member" for the facts) with `args`.
MemberOutcome CallMember(Control& control, std::string_view member, std::span<const std::string_view> args);

}  // namespace brevalcore::api
