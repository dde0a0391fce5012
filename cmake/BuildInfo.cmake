# Writes the header the tool's --version prints from: the commit checked out at build time
# (rewritten only when it changes, so a build without a new commit recompiles nothing).
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR commit STREQUAL "")
  set(commit "unknown")
endif()
execute_process(COMMAND git -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
                OUTPUT_VARIABLE changes ERROR_QUIET)
if(NOT changes STREQUAL "")
  string(APPEND commit "+changes")
endif()
if(BUILD_TYPE STREQUAL "")
  set(BUILD_TYPE "unspecified")
endif()
file(WRITE "${OUTPUT}.new"
"#pragma once
// Generated at build time by cmake/BuildInfo.cmake.
namespace brevalcore::tools {
inline constexpr char kBuildVersionText[] = \"${VERSION}\";
inline constexpr char kBuildCommit[] = \"${commit}\";
inline constexpr char kBuildType[] = \"${BUILD_TYPE}\";
}  // namespace brevalcore::tools
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
