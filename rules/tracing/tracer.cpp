#include "rules/tracing/tracer.h"

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
  db_->Append(clock_.Now(), {banner, action, parameter, software, region, province, uid, role});
}

void Tracer::TraceRecord(const String& banner, const String& action, const String& parameter,
                         const String& software, const String& region, const String& province, const String& uid,
                         const String& role, const String& doctor, const String& asl, const String& branch) {
  db_->Append(clock_.Now(), {banner, action, parameter, software, region, province, uid, role},
              TraceSource{doctor, asl, branch});
}

void RegisterBundledTracer(automation::ObjectFactories& factories, std::string databaseFile,
                           const shell::Clock* clock) {
  const shell::Clock* source = clock ? clock : &shell::SystemClock::Instance();
  factories.Register(u"BVCTracing.Tracing", [databaseFile, source]() -> automation::Ref<automation::Object> {
    auto db = TraceDatabase::Open(databaseFile.empty() ? DefaultTraceDatabase() : databaseFile);
    if (!db) return {};
    return automation::MakeRef<Tracer>(std::move(db), *source);
  });
}

}  // namespace brevalcore::tracing
