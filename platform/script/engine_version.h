#pragma once
// The engine version scripts see through ScriptEngineMajorVersion, ScriptEngineMinorVersion
// and ScriptEngineBuildVersion; the tools print the same numbers.
#include <cstdint>

namespace brevalcore::script {

inline constexpr int32_t kEngineMajorVersion = 5;
inline constexpr int32_t kEngineMinorVersion = 8;
inline constexpr int32_t kEngineBuildVersion = 16384;

}  // namespace brevalcore::script
