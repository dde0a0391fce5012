// Feeds arbitrary bytes to the PE reader and, when it accepts them, to every look-up the
// control makes; the same bytes also go straight to the version-resource parser.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/pe/pe_image.h"
#include "platform/pe/version_resource.h"

namespace {

void Exercise(const brevalcore::pe::VersionResource& version) {
  (void)version.InfoSize();
  (void)version.Fixed();
  for (const auto& t : version.Translations()) (void)t;
  for (const char* path : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\041004E4\\FileVersion",
                           "\\StringFileInfo\\040904E4\\CompanyName", "\\\\\\", "\\StringFileInfo"})
    (void)version.Query(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brevalcore::pe;
  if (auto version = VersionResource::Parse({data, size})) Exercise(*version);

  auto image = PeImage::Parse(std::vector<uint8_t>(data, data + size), nullptr);
  if (!image) return 0;
  for (uint16_t id = 0; id <= 40; ++id) {
    (void)image->LoadString(id, 256);
    (void)image->FindResource("BANNER", "#" + std::to_string(id));
  }
  for (const ResourceType& type : image->resources())
    for (const ResourceName& name : type.names) (void)image->FindResource(type.type, name.name);
  if (auto version = VersionResource::FromImage(*image)) Exercise(*version);
  return 0;
}
