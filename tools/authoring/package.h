#pragma once
// A banner package as the checker sees it: its files, from an author's folder or from a built
// resource library, each with the name the package stores and the name findings show.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/automation/text.h"
#include "tools/authoring/input_file.h"

namespace brevalcore::packages { class cResource; }

namespace brevalcore::authoring {

using automation::String;
using automation::StringView;

struct PackageEntry {
  enum class Kind { File, Folder, Link, Special };
  Kind kind = Kind::File;
  String name;          // as the package stores it: "\" between folders
  std::string display;  // UTF-8, "/" between folders: the FILE of findings
  uint64_t size = 0;
  std::string path;                // folders: the file on disk
  std::span<const uint8_t> data;   // libraries: the resource's bytes
  bool hasData = true;             // libraries: false for a name without its resource
};

class Package {
 public:
  // The entries of an author's folder, not following links; hidden files and folders are left
  // out, as pack leaves them out. Files of subfolders are entries named "sub\name".
  static Package FromFolder(const std::string& folder);
  // The entries of a resource library, in the order the control unpacks them. Throws nothing;
  // `error` tells why a file is no library.
  static std::unique_ptr<Package> FromLibrary(const std::string& file, std::string& error);

  Package();
  ~Package();
  Package(Package&&) noexcept;
  Package& operator=(Package&&) noexcept;

  const std::vector<PackageEntry>& entries() const { return entries_; }
  // The names of the plain files directly in the package, which links and scripts can name.
  const std::vector<String>& fileNames() const { return fileNames_; }
  const PackageEntry* Find(StringView storedName) const;
  bool fromLibrary() const { return library_ != nullptr; }

  // The bytes of a file entry, refused when larger than `maxBytes`.
  InputFile Read(const PackageEntry& entry, uint64_t maxBytes) const;

 private:
  void Index();

  std::vector<PackageEntry> entries_;
  std::vector<String> fileNames_;
  std::unique_ptr<packages::cResource> library_;
};

}  // namespace brevalcore::authoring
