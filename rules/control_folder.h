#pragma once
// The folder that holds the control's own file: BREVALCORE_CONTROL_DIR when set, else the
// folder of the module (shared library or executable) that contains this code.
#include <string>

namespace brevalcore::rules {

std::string ControlFolder();

}  // namespace brevalcore::rules
