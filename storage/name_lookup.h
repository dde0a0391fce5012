#pragma once
// File names are case-insensitive on the platform: a rule that shows "Gastro" finds
// gastro.html there, and so must it here. Every file of a package (pages, "offline.html",
// "banner.script", templates, documents, the marker) and the resource library are looked up
// through this one resolver. It lists a folder once and keeps the listing until the folder
// changes (its identity or modification time differs, or the listing was read too close to
// the folder's last change to be trusted). Hidden entries (a leading ".") are never found.
// Two entries that differ only by case cannot both exist on the platform: such a lookup is
// ambiguous, and callers report it naming both files.
#include <string>

#include "platform/automation/text.h"
#include "storage/folder.h"

namespace brevalcore::storage {

using automation::String;
using automation::StringView;

struct NameLookup {
  enum class Status { kFound, kMissing, kAmbiguous };
  Status status = Status::kMissing;
  std::string name;   // the name on disk when found; the first of the two when ambiguous
  std::string other;  // the second name when ambiguous

  bool found() const { return status == Status::kFound; }
  // "\"a.html\" and \"A.html\" differ only by case" for an ambiguous lookup.
  std::string AmbiguityText() const;
};

// Finds `name` among the entries of the open folder, ignoring case as the platform does. A
// name that is no valid file name (see FileNameProblem) is missing.
NameLookup LookUpName(const Folder& folder, StringView name);

// The result of looking a plain file up: a regular file, not hidden, not a link.
struct PlainFileLookup {
  enum class Status { kFound, kMissing, kAmbiguous, kNotPlain };
  Status status = Status::kMissing;
  std::string name;  // on disk (kFound, kNotPlain)
  std::string path;  // folder + "/" + name (kFound, kNotPlain)
  std::string problem;  // why it cannot be used (kAmbiguous, kNotPlain), naming the entries
};

// Looks `name` up in `folder` (opened without following a link, see Folder) and checks that
// what it finds is a plain file.
PlainFileLookup FindPlainFile(const Folder& folder, StringView name);
PlainFileLookup FindPlainFile(const std::string& folder, StringView name);

// `path` (absolute, or relative to `base`) with each of its folders and its file found
// whatever their case, as the platform's path handling would find them. From the first
// component that is not found (or found twice) on, the path is kept as written, so that
// opening it fails as it would there. The result is relative when `path` is.
std::string ResolvePath(const std::string& base, const std::string& path);

// Raises the platform's error for a lookup that found something it cannot use: "Bad file
// name or number" for two names that differ only by case, "Path/File access error" for an
// entry that is not a plain file, the description naming the files. Nothing otherwise.
void RaiseIfUnusable(const PlainFileLookup& lookup);

// Forgets every kept listing (tests that change a folder faster than its clock ticks).
void ForgetFolderListings();

}  // namespace brevalcore::storage
