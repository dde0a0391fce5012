#include "rules/control_folder.h"

#include "storage/paths.h"

namespace brevalcore::rules {

std::string ControlFolder() { return storage::GetControlFolder(); }

}  // namespace brevalcore::rules
