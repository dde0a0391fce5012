# Shared build helpers. Each subsystem folder owns its CMakeLists.txt; parents pick up every
# child folder that has one, so adding a folder never means editing a parent.

function(brevalcore_add_subdirectories parent)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${parent}
       ${CMAKE_CURRENT_SOURCE_DIR}/${parent}/*)
  list(SORT children)
  # The automation layer comes first: everything else links it.
  list(REMOVE_ITEM children automation)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${parent}/automation/CMakeLists.txt)
    add_subdirectory(${parent}/automation)
  endif()
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${parent}/${child}/CMakeLists.txt)
      add_subdirectory(${parent}/${child})
    endif()
  endforeach()
endfunction()

# brevalcore_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# A GoogleTest executable registered with ctest. Tests find the shared fixtures through
# BREVALCORE_SHARED_DIR and the built tools through BREVALCORE_BIN_DIR.
function(brevalcore_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    BREVALCORE_SHARED_DIR="${BREVALCORE_SHARED_DIR}"
    BREVALCORE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BREVALCORE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "BREVALCORE_SHARED_DIR=${BREVALCORE_SHARED_DIR}")
endfunction()

# brevalcore_bench(NAME SOURCES ... LIBS ...)
function(brevalcore_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    BREVALCORE_SHARED_DIR="${BREVALCORE_SHARED_DIR}"
    BREVALCORE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BREVALCORE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# brevalcore_fuzz(NAME SOURCES ... LIBS ... SEEDS dir-or-file ...)
# With -DBREVALCORE_FUZZ=ON (clang): a libFuzzer target in build/fuzz, part of the
# `brevalcore_fuzzers` target, with its seeds listed in build/fuzz/NAME.seeds for scripts/fuzz.
# Otherwise: the same target linked with fuzz/driver.cpp and registered as a short smoke test
# over its kept corpus (fuzz/corpus/NAME) and its seeds.
function(brevalcore_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;SEEDS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  if(BREVALCORE_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    if(NOT TARGET brevalcore_fuzzers)
      add_custom_target(brevalcore_fuzzers)
      # Seeds that the build makes (the sample package) must exist before the targets run.
      if(TARGET brevalcore_sample_package)
        add_dependencies(brevalcore_fuzzers brevalcore_sample_package)
      endif()
    endif()
    add_dependencies(brevalcore_fuzzers ${name})
    list(JOIN F_SEEDS "\n" seeds)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${name}.seeds "${seeds}\n")
  else()
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/driver.cpp)
    add_test(NAME fuzz_smoke.${name}
             COMMAND ${name} -max_total_time=${BREVALCORE_FUZZ_SMOKE_SECONDS} ${corpus} ${F_SEEDS})
  endif()
endfunction()
set(BREVALCORE_FUZZ_SMOKE_SECONDS 5 CACHE STRING "Seconds each fuzz target runs in the test suite")

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Link options of an installed shared library: only the symbols of its version script, and
# every reference resolved at link time. Clang's sanitizers keep their runtime in the program,
# not in shared libraries, so a sanitized clang build resolves those at load time instead.
function(brevalcore_shared_library_links target map)
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  if(NOT (CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND (BREVALCORE_SANITIZE OR BREVALCORE_FUZZ)))
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
