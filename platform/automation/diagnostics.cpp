#include "platform/automation/diagnostics.h"

#include <cstdio>
#include <deque>
#include <mutex>

namespace brevalcore::automation {
namespace {

struct Store {
  std::mutex mutex;
  std::deque<Diagnostic> kept;
  DiagnosticSink sink = LogToStandardError;
};

Store& TheStore() {
  static Store store;
  return store;
}

}  // namespace

void LogToStandardError(const Diagnostic& d) {
  std::fprintf(stderr, "brevalcore: %s: %s\n", d.source.c_str(), d.message.c_str());
}

void ReportDiagnostic(std::string source, std::string message) {
  Store& store = TheStore();
  Diagnostic d{std::move(source), std::move(message)};
  DiagnosticSink sink;
  {
    std::lock_guard guard(store.mutex);
    if (store.kept.size() == kMaxDiagnostics) store.kept.pop_front();
    store.kept.push_back(d);
    sink = store.sink;
  }
  if (sink) sink(d);  // outside the lock: a sink may report again
}

std::vector<Diagnostic> Diagnostics() {
  Store& store = TheStore();
  std::lock_guard guard(store.mutex);
  return {store.kept.begin(), store.kept.end()};
}

void ClearDiagnostics() {
  Store& store = TheStore();
  std::lock_guard guard(store.mutex);
  store.kept.clear();
}

void SetDiagnosticSink(DiagnosticSink sink) {
  Store& store = TheStore();
  std::lock_guard guard(store.mutex);
  store.sink = std::move(sink);
}

}  // namespace brevalcore::automation
