# The rule workloads' library, shared by the speed benchmark and the test that both languages
# choose the same banners (the sanitizer build has no benchmarks, and keeps the test).
if(NOT TARGET brevalcore_rule_workloads)
  find_package(PkgConfig QUIET)
  pkg_check_modules(LUA54 QUIET lua5.4)
  add_library(brevalcore_rule_workloads STATIC
    ${CMAKE_SOURCE_DIR}/bench/script/generator.h
    ${CMAKE_SOURCE_DIR}/bench/script/morning.cpp
    ${CMAKE_SOURCE_DIR}/bench/script/rule_session.cpp
    ${CMAKE_SOURCE_DIR}/bench/script/rules300.cpp
    ${CMAKE_SOURCE_DIR}/bench/script/rule_workloads.cpp)
  target_link_libraries(brevalcore_rule_workloads PUBLIC brevalcore_rules brevalcore_script)
  target_compile_definitions(brevalcore_rule_workloads PUBLIC BREVALCORE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(LUA54_FOUND)
    target_sources(brevalcore_rule_workloads PRIVATE ${CMAKE_SOURCE_DIR}/bench/script/lua_automation.cpp)
    target_include_directories(brevalcore_rule_workloads PUBLIC ${LUA54_INCLUDE_DIRS})
    target_link_libraries(brevalcore_rule_workloads PUBLIC ${LUA54_LIBRARIES})
    target_compile_definitions(brevalcore_rule_workloads PUBLIC BREVALCORE_HAVE_LUA=1)
  else()
    message(WARNING "Lua 5.4 not found (liblua5.4-dev): the script benchmark runs without its baseline")
  endif()
endif()
