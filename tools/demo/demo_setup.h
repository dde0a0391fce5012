#pragma once
// The folders a demo run works in: the machine-wide data folder with the banner folder in it,
// and the control folder with the doctors' settings files, both under one work folder so that
// a demo never touches the machine's real ones.
#include <optional>
#include <string>

namespace brevalcore::demo {

struct DemoFolders {
  std::string work;           // holds the two below
  std::string data;           // the machine-wide data folder (BREVALCORE_COMMON_APPDATA)
  std::string control;        // the control folder (BREVALCORE_CONTROL_DIR)
  std::string bannerLibrary;  // folder of a resource library to unpack, or empty
};

// The sample banner folder of the source tree: the first folder under samples/ holding a
// "banner.script", or empty.
std::string DefaultBannerSource();

// Creates the folders under `work` (a fresh temporary folder when empty), points the control at
// them through its environment variables, and copies the banner folder `source` into place.
// A source holding a resource library ("BVCRES.DLL") is unpacked by the control instead.
std::optional<DemoFolders> PrepareDemoFolders(const std::string& source, std::string work, std::string& error);

}  // namespace brevalcore::demo
