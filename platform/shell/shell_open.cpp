#include "platform/shell/shell_open.h"

#include "platform/shell/process.h"

namespace brevalcore::shell {

// The opener is started and left to run: its outcome is never looked at; the process reaper
// collects it.
void XdgShellOpener::Open(automation::StringView target) {
  StartProcess({program_, {program_, automation::ToUtf8(target)}, workingFolder_, true});
}

}  // namespace brevalcore::shell
