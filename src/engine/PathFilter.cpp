#include "engine/PathFilter.h"

#include <sys/stat.h>

namespace tarnwick {

namespace {

std::string ListBetween(const std::string& filter, const char* opener) {
  const auto start = filter.find(opener);
  if (start == std::string::npos) return {};
  const auto end = filter.find(']', start + 2);
  if (end == std::string::npos) return {};
  return filter.substr(start + 2, end - start - 2);
}

}  // namespace

FilterLists SplitFilter(const std::string& filter) { return {ListBetween(filter, "+["), ListBetween(filter, "-[")}; }

std::vector<std::string> SplitMaskList(const std::string& list) {
  std::vector<std::string> masks;
  if (list.empty()) return masks;
  std::size_t start = 0;
  for (;;) {
    const auto end = list.find(';', start);
    if (end == std::string::npos) {
      // The last mask needs no ";" after it, also in a list of one character.
      if (start < list.size()) masks.push_back(list.substr(start));
      break;
    }
    masks.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return masks;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string LastPathComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool LiesUnder(const std::string& root, const std::string& path) {
  std::string base = root;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (path.compare(0, base.size(), base) != 0) return false;
  std::size_t start = base.size();
  if (start < path.size() && path[start] != '/' && base != "/") return false;  // "/a/bc" is not below "/a/b"
  while (start < path.size()) {
    std::size_t end = path.find('/', start + 1);
    if (end == std::string::npos) end = path.size();
    const std::size_t from = path[start] == '/' ? start + 1 : start;
    if (path.compare(from, end - from, "..") == 0 && end - from == 2) return false;
    start = end;
  }
  return true;
}

bool CreateLocalFolderChain(const std::string& path) {
  if (path.empty()) return false;
  // Every prefix ending before a "/" is made, except the root itself.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (path[slash - 1] != '/') ::mkdir(path.substr(0, slash).c_str(), 0777);
  }
  if (path.back() != '/') ::mkdir(path.c_str(), 0777);
  return true;
}

}  // namespace tarnwick
