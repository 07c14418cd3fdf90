#include "ui/SourceTree.h"

#include <unordered_map>

#include "engine/LocalFolderWalk.h"
#include "engine/PathFilter.h"
#include "ui/Icons.h"

namespace tarnwick::ui {
namespace {

// Thrown out of the walk's callbacks to end it early: the walk holds no resource across them.
struct WalkCut {};

class TreeMaker {
 public:
  TreeMaker(SourceTree& tree, std::size_t maxNodes, const std::atomic<bool>* stop)
      : tree_(tree), maxNodes_(maxNodes), stop_(stop) {}

  int Add(std::string text, int image, int selectedImage, int parent) {
    tree_.nodes.push_back({std::move(text), image, selectedImage, parent});
    return static_cast<int>(tree_.nodes.size()) - 1;
  }

  // One local folder item, walked as the job walks it. Sub-folders are made as the walk enters
  // them; the files come in the walk's list afterwards, each under its folder.
  void AddLocalFolder(const SourceItem& item) {
    const int root = Add(item.path, kImageFolder, kImageFolderOpen, -1);
    std::unordered_map<std::string, int> folders{{std::string(), root}};
    FolderTargets targets;
    targets.join = [this](const std::string& folder, const std::string& name) {
      Count();
      return folder.empty() ? name : folder + '/' + name;
    };
    targets.createFolder = [&](const std::string& relative) {
      const std::size_t slash = relative.rfind('/');
      const int parent = folders[slash == std::string::npos ? std::string() : relative.substr(0, slash)];
      folders[relative] =
          Add(relative.substr(slash == std::string::npos ? 0 : slash + 1), kImageFolder, kImageFolderOpen, parent);
    };
    TransferList files;
    try {
      EnumerateLocalFolder(item.path, SplitFilter(item.filter), item.recursive, std::string(), targets, files);
    } catch (const WalkCut&) {
      tree_.cut = true;
    }
    for (const TransferEntry& file : files) {
      const std::size_t slash = file.target.rfind('/');
      const auto folder = folders.find(slash == std::string::npos ? std::string() : file.target.substr(0, slash));
      if (folder == folders.end()) continue;  // its folder was cut off
      Add(file.target.substr(slash == std::string::npos ? 0 : slash + 1), kImageFile, kImageFile, folder->second);
    }
  }

 private:
  void Count() {
    if (++seen_ >= maxNodes_ || (stop_ != nullptr && stop_->load())) throw WalkCut{};
  }

  SourceTree& tree_;
  const std::size_t maxNodes_;
  const std::atomic<bool>* stop_;
  std::size_t seen_ = 0;
};

}  // namespace

SourceTree BuildSourceTree(const Profile& profile, std::size_t maxNodes, const std::atomic<bool>* stop) {
  SourceTree tree;
  TreeMaker maker(tree, maxNodes, stop);
  for (const SourceItem& item : profile.localSources) {
    if (item.kind == ItemKind::LocalFolder && !tree.cut) maker.AddLocalFolder(item);
  }
  for (const FtpSource& source : profile.remoteSources) {
    const int host = maker.Add(source.site.host, kImageHost, kImageHost, -1);
    for (const SourceItem& item : source.items) {
      const bool folder = item.kind == ItemKind::FtpFolder;
      maker.Add(item.path, folder ? kImageRemoteFolder : kImageFile, folder ? kImageRemoteFolderOpen : kImageFile,
                host);
    }
  }
  for (const SourceItem& item : profile.localSources) {
    if (item.kind == ItemKind::LocalFile) maker.Add(item.path, kImageFile, kImageFile, -1);
  }
  return tree;
}

}  // namespace tarnwick::ui
