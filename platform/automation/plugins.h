#pragma once
// Plug-ins: shared libraries that add ProgIDs to an object-factory registry.
//
// A plug-in is a shared library built against the automation headers of this project with
// the same compiler. It exports one C function:
//
//   extern "C" int brevalcore_plugin_init(const brevalcore_plugin_host* host);
//
// which calls host->register_progid(host->registry, "Vendor.Class", create) once per class
// and returns 0 on success. `create` returns a new object (a brevalcore::automation::Object*
// allocated with new, reference count 0), or null when it cannot make one (CreateObject then
// fails with 429). A plug-in returning non-zero registers nothing. A ProgID already registered,
// built in or by an earlier plug-in, is replaced. Libraries stay loaded for the life of the
// process, because the objects they make run their code.
//
// BREVALCORE_PLUGIN_PATH lists files and folders separated by ":"; a folder contributes every
// "*.so" file in it, in name order.
#include <string>
#include <string_view>
#include <vector>

extern "C" {

#define BREVALCORE_PLUGIN_ABI_VERSION 1

typedef void* (*brevalcore_create_fn)(void);

typedef struct brevalcore_plugin_host {
  unsigned abi_version;  // BREVALCORE_PLUGIN_ABI_VERSION
  void* registry;        // opaque: pass back to register_progid
  // Returns 0 on success, non-zero for an empty ProgID or a null function.
  int (*register_progid)(void* registry, const char* prog_id_utf8, brevalcore_create_fn create);
} brevalcore_plugin_host;

typedef int (*brevalcore_plugin_init_fn)(const brevalcore_plugin_host* host);

}  // extern "C"

namespace brevalcore::automation {

class ObjectFactories;

inline constexpr char kPluginEntryPoint[] = "brevalcore_plugin_init";
inline constexpr char kPluginPathVariable[] = "BREVALCORE_PLUGIN_PATH";

struct PluginLoadReport {
  std::vector<std::string> loaded;  // files whose entry point succeeded
  std::vector<std::string> failed;  // "file: reason"
};

// Loads every plug-in named by `searchPath` into `factories`. Never throws. Each failure is
// also reported to the diagnostics (diagnostics.h) with the file and the reason.
PluginLoadReport LoadPlugins(ObjectFactories& factories, std::string_view searchPath);
// The same with BREVALCORE_PLUGIN_PATH (nothing when it is unset).
PluginLoadReport LoadPluginsFromEnvironment(ObjectFactories& factories);

}  // namespace brevalcore::automation
