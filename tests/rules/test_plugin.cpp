// A plug-in for the tests: registers "BVCTracing.Tracing" with a tracer that appends each
// call to the file named by BREVALCORE_TEST_PLUGIN_LOG, one line of "|"-joined values.
#include <cstdio>
#include <cstdlib>

#include "platform/automation/dispatch.h"
#include "platform/automation/plugins.h"

namespace {

using namespace brevalcore::automation;

class FileTracer : public DispatchObject<FileTracer> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<FileTracer>(u"Tracing").Method<&FileTracer::Trace>(u"Trace").Build();
    return info;
  }
  Variant Trace(std::span<Variant> args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) line += (i ? "|" : "") + ToUtf8(ToString(args[i]));
    if (const char* log = std::getenv("BREVALCORE_TEST_PLUGIN_LOG")) {
      if (FILE* f = std::fopen(log, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
      }
    }
    return Variant();
  }
};

void* CreateFileTracer() { return static_cast<Object*>(new FileTracer()); }

}  // namespace

extern "C" int brevalcore_plugin_init(const brevalcore_plugin_host* host) {
  if (host->abi_version != BREVALCORE_PLUGIN_ABI_VERSION) return 1;
  return host->register_progid(host->registry, "BVCTracing.Tracing", &CreateFileTracer);
}
