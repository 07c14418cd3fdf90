// Paths and folder filters as every job sees them: the two mask lists of a folder item, "/"-joined
// paths (local and remote alike) and the local folder chain of a destination.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// The two mask lists of a folder filter "+[include]-[exclude]", as texts ("*.doc;*.xls").
struct FilterLists {
  std::string include;
  std::string exclude;
};

// Include list: from the first "+[" up to the next "]"; exclude list likewise from the first "-[".
// A missing part, or one without its "]", gives an empty list.
FilterLists SplitFilter(const std::string& filter);

// The masks of one list, separated by ";", used exactly as written. Empty pieces stay (they match
// nothing). A one-character list such as "*" is one mask.
std::vector<std::string> SplitMaskList(const std::string& list);

// `folder` and `name` joined by one "/" (none added when `folder` already ends with one). Local and
// FTP paths both use "/".
std::string JoinPath(const std::string& folder, const std::string& name);

// The text after the last "/" of `path` (the whole path when it has none).
std::string LastPathComponent(const std::string& path);

// Whether `path` is `root` or lies below it, judged on the text alone: it starts with `root` and
// nothing after that is a ".." component. Every target a job writes is checked with it, so no name
// from outside can lead out of the destination.
bool LiesUnder(const std::string& root, const std::string& path);

// Creates every missing folder along `path`. False only for an empty path; creation results are
// not checked (a folder that cannot be made shows up as the failed files that go into it).
bool CreateLocalFolderChain(const std::string& path);

}  // namespace tarnwick
