#include "rules/tracing/tracer.h"

#include "platform/automation/error.h"

namespace brevalcore::tracing {

const automation::ClassInfo& Tracer::Class() {
  static const automation::ClassInfo info = automation::ClassBuilder<Tracer>(u"Tracing")
                                                .Method<&Tracer::Trace>(u"Trace")
                                                .Method<&Tracer::TraceRecord>(u"TraceRecord")
                                                .Build();
  return info;
}

Tracer::Tracer(std::unique_ptr<TraceDatabase> db, const shell::Clock& clock) : db_(std::move(db)), clock_(clock) {}

void Tracer::Trace(const String& banner, const String& action, const String& parameter, const String& software,
                   const String& region, const String& province, const String& uid, const String& role) {
  Append({banner, action, parameter, software, region, province, uid, role}, {});
}

void Tracer::TraceRecord(const String& banner, const String& action, const String& parameter,
                         const String& software, const String& region, const String& province, const String& uid,
                         const String& role, const String& doctor, const String& asl, const String& branch) {
  Append({banner, action, parameter, software, region, province, uid, role}, TraceSource{doctor, asl, branch});
}

void Tracer::Append(const std::vector<String>& values, const TraceSource& source) {
  if (!db_->Append(clock_.Now(), values, source))
    automation::Raise(automation::err::kDeviceIoError, u"BVCTracing.Tracing", automation::FromUtf8(db_->ErrorText()));
}

namespace {

// A named type, so that a registry can tell the bundled tracer from a plug-in's.
struct BundledTracerFactory {
  std::string databaseFile;
  const shell::Clock* clock;
  automation::Ref<automation::Object> operator()() const {
    auto db = TraceDatabase::Open(databaseFile.empty() ? DefaultTraceDatabase() : databaseFile);
    if (!db) return {};
    return automation::MakeRef<Tracer>(std::move(db), *clock);
  }
};

}  // namespace

void RegisterBundledTracer(automation::ObjectFactories& factories, std::string databaseFile,
                           const shell::Clock* clock) {
  const shell::Clock* source = clock ? clock : &shell::SystemClock::Instance();
  factories.Register(u"BVCTracing.Tracing", BundledTracerFactory{std::move(databaseFile), source});
}

bool IsBundledTracer(const automation::ObjectFactories::Factory& factory) {
  return factory.target<BundledTracerFactory>() != nullptr;
}

}  // namespace brevalcore::tracing
