#pragma once
// Banner events to the tracing component. The control creates the component once at start-up
// from the ProgID "BVCTracing.Tracing" and keeps it in one reference per thread and control
// folder (controls of one folder share it, controls of two folders never mix their traces);
// the banner choice and the click handling send events through TraceBannerAction, which never
// fails.
#include <string>

#include "platform/automation/factory.h"
#include "rules/context.h"

namespace brevalcore::rules {

inline constexpr char16_t kTracingProgId[] = u"BVCTracing.Tracing";

// The thread's tracing component for the controls of `controlFolder` (empty: those that use
// the process-wide folder); Nothing when none could be created.
Ref<automation::Object>& TracingComponent(const std::string& controlFolder = {});

// Registers the bundled tracer under "BVCTracing.Tracing" and then every plug-in found on
// BREVALCORE_PLUGIN_PATH, so a plug-in of the same ProgID replaces the bundled one.
void RegisterRuleFactories(automation::ObjectFactories& factories);

// Creates the tracing component and keeps it as the thread's; when it cannot be created, the
// thread keeps the one it had, or goes on without tracing. Returns whether a component is in place.
bool CreateTracingComponent(automation::ObjectFactories& factories);

// A copy of `base` whose bundled tracer writes to the database in `controlFolder`, with the
// times of `clock`. A tracer that a plug-in put in place of the bundled one is kept.
automation::ObjectFactories FactoriesForControlFolder(const automation::ObjectFactories& base,
                                                      const std::string& controlFolder, const shell::Clock* clock);

// Sends one event, to the component of the context's control folder: banner name, action word,
// parameter, then the host software and the doctor's region, province, user identifier and
// role; a component that has TraceRecord gets the doctor's code, ASL and branch after them.
// Every error is swallowed, and reported to the context's diagnostics.
void TraceBannerAction(StringView bannerCode, StringView action, StringView parameter, const cContext& context);

}  // namespace brevalcore::rules
