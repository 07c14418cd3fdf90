// The summary tree of a profile's sources, gathered without any widget so that it can be built on a
// worker thread: every local folder item as the backup job would walk it (the job's own folder walk
// with the item's masks and recursion), then each remote account with its items, then the local
// files.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "profiles/Profile.h"

namespace tarnwick::ui {

struct SourceTreeNode {
  std::string text;
  int image = 0;          // ItemImage
  int selectedImage = 0;  // shown while selected (folders) or expanded (remote folders)
  int parent = -1;        // index of the parent node; -1 for a root
};

struct SourceTree {
  // Parents come before their children; siblings in the order they are shown.
  std::vector<SourceTreeNode> nodes;
  bool cut = false;  // the walk stopped at the node limit (or was stopped)
};

// Builds the tree of `profile`. A local walk ends once `maxNodes` nodes were made or `*stop`
// turns true; the tree then holds what was found so far and says it was cut.
SourceTree BuildSourceTree(const Profile& profile, std::size_t maxNodes, const std::atomic<bool>* stop = nullptr);

}  // namespace tarnwick::ui
