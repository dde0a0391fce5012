#pragma once
// The bundled tracing component ("BVCTracing.Tracing"): every trace call becomes one record of
// the local trace store (store.h), with the time of the call. `brevalcore trace` reports the
// store and pushes it to the analytics server.
#include <memory>
#include <string>

#include "platform/automation/dispatch.h"
#include "platform/automation/factory.h"
#include "platform/shell/clock.h"
#include "rules/tracing/store.h"

namespace brevalcore::tracing {

// The automation object. Trace(banner, action, parameter, software, region, province, uid,
// role) is the component's interface; TraceRecord takes the doctor's code, ASL and branch
// after the same eight values, which a record needs to travel. A failed write raises 57 with
// SQLite's text; the caller (TraceBannerAction) swallows it, so tracing never disturbs the
// control, and tells the host.
class Tracer : public automation::DispatchObject<Tracer> {
 public:
  static const automation::ClassInfo& Class();
  Tracer(std::unique_ptr<TraceDatabase> db, const shell::Clock& clock);

  void Trace(const String& banner, const String& action, const String& parameter, const String& software,
             const String& region, const String& province, const String& uid, const String& role);
  void TraceRecord(const String& banner, const String& action, const String& parameter, const String& software,
                   const String& region, const String& province, const String& uid, const String& role,
                   const String& doctor, const String& asl, const String& branch);

 private:
  void Append(const std::vector<String>& values, const TraceSource& source);

  std::unique_ptr<TraceDatabase> db_;
  const shell::Clock& clock_;
};

// Registers the bundled tracer under "BVCTracing.Tracing". The factory opens the database
// named by `databaseFile` (DefaultTraceDatabase() when empty) at each creation and yields
// nothing when it cannot, so CreateObject fails and the control goes on without tracing.
void RegisterBundledTracer(automation::ObjectFactories& factories, std::string databaseFile = {},
                           const shell::Clock* clock = nullptr);
// Whether `factory` is the bundled tracer's (and not a plug-in's that replaced it).
bool IsBundledTracer(const automation::ObjectFactories::Factory& factory);

}  // namespace brevalcore::tracing
