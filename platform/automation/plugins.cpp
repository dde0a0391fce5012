#include "platform/automation/plugins.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/automation/diagnostics.h"
#include "platform/automation/factory.h"

namespace brevalcore::automation {

namespace {

struct Staging {
  std::vector<std::pair<String, brevalcore_create_fn>> entries;
};

extern "C" int RegisterFromPlugin(void* registry, const char* progId, brevalcore_create_fn create) {
  if (!registry || !progId || !*progId || !create) return 1;
  static_cast<Staging*>(registry)->entries.emplace_back(FromUtf8(progId), create);
  return 0;
}

std::vector<std::string> PluginFiles(std::string_view searchPath) {
  std::vector<std::string> files;
  size_t start = 0;
  while (start <= searchPath.size()) {
    const size_t end = searchPath.find(':', start);
    const std::string entry(searchPath.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (!entry.empty()) {
      std::error_code ec;
      if (std::filesystem::is_directory(entry, ec)) {
        std::vector<std::string> inFolder;
        for (const auto& item : std::filesystem::directory_iterator(entry, ec))
          if (item.is_regular_file(ec) && item.path().extension() == ".so") inFolder.push_back(item.path().string());
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
      } else {
        files.push_back(entry);
      }
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return files;
}

}  // namespace

PluginLoadReport LoadPlugins(ObjectFactories& factories, std::string_view searchPath) {
  PluginLoadReport report;
  for (const std::string& file : PluginFiles(searchPath)) {
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = dlerror();
      report.failed.push_back(file + ": " + (why ? why : "cannot be loaded"));
      continue;
    }
    auto init = reinterpret_cast<brevalcore_plugin_init_fn>(dlsym(library, kPluginEntryPoint));
    if (!init) {
      report.failed.push_back(file + ": no " + kPluginEntryPoint);
      dlclose(library);
      continue;
    }
    Staging staging;
    const brevalcore_plugin_host host{BREVALCORE_PLUGIN_ABI_VERSION, &staging, &RegisterFromPlugin};
    if (init(&host) != 0) {
      // Objects may exist already; the library stays loaded.
      report.failed.push_back(file + ": " + kPluginEntryPoint + " failed");
      continue;
    }
    for (auto& entry : staging.entries) {
      auto create = entry.second;
      factories.Register(entry.first, [create]() { return Ref<Object>(static_cast<Object*>(create())); });
    }
    report.loaded.push_back(file);
  }
  for (const std::string& failure : report.failed) ReportDiagnostic("plug-in", failure);
  return report;
}

PluginLoadReport LoadPluginsFromEnvironment(ObjectFactories& factories) {
  const char* path = std::getenv(kPluginPathVariable);
  if (!path || !*path) return {};
  return LoadPlugins(factories, path);
}

}  // namespace brevalcore::automation
