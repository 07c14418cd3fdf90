// The source list: adding, views, sorting kept across openings, the context menu, filters,
// information boxes and the summary tree.
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "ui/BackupSourceDlg.h"
#include "ui/EditFilterDlg.h"
#include "ui/FileInfoDlg.h"
#include "ui/ItemsInfoDlg.h"
#include "ui/SourceTree.h"
#include "ui/SourceTreeDlg.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::WriteFile;

QStringList Column(QTreeWidget* list, int column) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
  return texts;
}

void SelectRows(QTreeWidget* list, const std::vector<int>& rows) {
  list->clearSelection();
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

FtpSource Remote(const std::string& host, const std::string& user, std::vector<SourceItem> items) {
  FtpSource source;
  source.site.host = host;
  source.site.user = user;
  source.items = std::move(items);
  return source;
}

struct SourceFixture : ::testing::Test {
  Sandbox sandbox;
  EditorWorld world;
  Profile profile;
  SourceListState state;
};

TEST_F(SourceFixture, AddingSkipsWhatIsThereAndSwitchesTheView) {
  fs::create_directories(sandbox / "docs");
  WriteFile(sandbox / "a.txt", "a");
  WriteFile(sandbox / "b.txt", "b");
  const std::string docs = (sandbox / "docs").string(), a = (sandbox / "a.txt").string(),
                    b = (sandbox / "b.txt").string();
  world.files.folders = {docs, docs, std::nullopt};
  world.files.files = {{a, b}, {b}};
  CBackupSourceDlg dialog(profile, state, world.services);
  dialog.OnAddFolder();
  dialog.OnAddFolder();  // the same folder again
  EXPECT_EQ(world.files.folderTitles.front(), "Please select a backup folder below:");
  EXPECT_EQ(state.view, SourceListState::kFolders);
  EXPECT_TRUE(dialog.ViewRadio(SourceListState::kFolders)->isChecked());
  dialog.OnAddFiles();
  dialog.OnAddFiles();  // b again
  EXPECT_EQ(state.view, SourceListState::kFiles);
  EXPECT_EQ(Column(dialog.List(), 0), QStringList({QString::fromStdString(a), QString::fromStdString(b)}));
  dialog.OnAddFolder();  // cancelled: nothing changes, the view stays
  EXPECT_EQ(state.view, SourceListState::kFiles);
  ASSERT_EQ(profile.localSources.size(), 3u);
  EXPECT_EQ(profile.localSources[0], (SourceItem{docs, "+[*.*]", ItemKind::LocalFolder, false}));
  EXPECT_EQ(profile.localSources[1], (SourceItem{a, "", ItemKind::LocalFile, false}));
  dialog.SetView(SourceListState::kAll);
  EXPECT_EQ(Column(dialog.List(), 1), QStringList({"+[*.*]", "", ""}));
  dialog.accept();
  EXPECT_TRUE(profile.hasSources);
}

TEST_F(SourceFixture, RowsListLocalItemsThenRemoteOnesAndFollowTheView) {
  profile.localSources = {{"/l/file", "", ItemKind::LocalFile, false},
                          {"/l/dir", "+[*.c]", ItemKind::LocalFolder, true}};
  profile.remoteSources = {
      Remote("h1", "u", {{"/r/dir", "+[*.*]", ItemKind::FtpFolder, false}, {"/r/file", "", ItemKind::FtpFile, false}})};
  CBackupSourceDlg dialog(profile, state, world.services);
  const QStringList all = {"/l/file", "/l/dir", "ftp://h1/r/dir", "ftp://h1/r/file"};
  EXPECT_EQ(Column(dialog.List(), 0), all);
  EXPECT_EQ(Column(dialog.List(), 1), QStringList({"", "+[*.c]", "+[*.*]", ""}));
  dialog.SetView(SourceListState::kFolders);
  EXPECT_EQ(Column(dialog.List(), 0), QStringList({"/l/dir", "ftp://h1/r/dir"}));
  dialog.SetView(SourceListState::kFiles);
  EXPECT_EQ(Column(dialog.List(), 0), QStringList({"/l/file", "ftp://h1/r/file"}));
}

TEST_F(SourceFixture, SortOrderAndViewSurviveReopening) {
  profile.localSources = {{"/b", "", ItemKind::LocalFile, false},
                          {"/c", "", ItemKind::LocalFile, false},
                          {"/a", "", ItemKind::LocalFile, false}};
  {
    CBackupSourceDlg dialog(profile, state, world.services);
    EXPECT_EQ(Column(dialog.List(), 0), QStringList({"/b", "/c", "/a"}));  // unsorted at first
    dialog.List()->header()->sectionClicked(CBackupSourceDlg::kPathColumn);
    dialog.List()->header()->sectionClicked(CBackupSourceDlg::kPathColumn);  // again: descending
    EXPECT_EQ(Column(dialog.List(), 0), QStringList({"/c", "/b", "/a"}));
    dialog.SetView(SourceListState::kFiles);
    dialog.accept();
  }
  profile.localSources.push_back({"/d", "", ItemKind::LocalFile, false});
  CBackupSourceDlg reopened(profile, state, world.services);
  EXPECT_EQ(Column(reopened.List(), 0), QStringList({"/d", "/c", "/b", "/a"}));
  EXPECT_TRUE(reopened.ViewRadio(SourceListState::kFiles)->isChecked());
}

struct MenuCase {
  const char* name;
  std::vector<int> rows;  // of: local folder, local file, remote folder, remote file
  bool remove, editFilter, viewInfo;
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }

class SourceMenu : public SourceFixture, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(SourceMenu, EnablesItsItemsForTheSelection) {
  const MenuCase& c = GetParam();
  profile.localSources = {{"/f", "+[*.*]", ItemKind::LocalFolder, false}, {"/x", "", ItemKind::LocalFile, false}};
  profile.remoteSources = {
      Remote("h", "u", {{"/rf", "+[*.*]", ItemKind::FtpFolder, false}, {"/rx", "", ItemKind::FtpFile, false}})};
  CBackupSourceDlg dialog(profile, state, world.services);
  SelectRows(dialog.List(), c.rows);
  dialog.ContextMenu();
  EXPECT_EQ(dialog.MenuAction(CBackupSourceDlg::kRemoveSelected)->isEnabled(), c.remove);
  EXPECT_EQ(dialog.MenuAction(CBackupSourceDlg::kEditFilter)->isEnabled(), c.editFilter);
  EXPECT_EQ(dialog.EditFilterButton()->isEnabled(), c.editFilter);
  EXPECT_EQ(dialog.MenuAction(CBackupSourceDlg::kViewInfo)->isEnabled(), c.viewInfo);
  EXPECT_TRUE(dialog.MenuAction(CBackupSourceDlg::kRemoveAll)->isEnabled());
  EXPECT_EQ(dialog.MenuAction(CBackupSourceDlg::kRemoveSelected)->text(), "&Remove Selected Item(s)");
  EXPECT_EQ(dialog.MenuAction(CBackupSourceDlg::kViewInfo)->text(), "&View Infomation");
}

INSTANTIATE_TEST_SUITE_P(Table, SourceMenu,
                         ::testing::Values(MenuCase{"nothing", {}, false, false, false},
                                           MenuCase{"localFolder", {0}, true, true, true},
                                           MenuCase{"localFile", {1}, true, false, true},
                                           MenuCase{"remoteFolder", {2}, true, true, false},
                                           MenuCase{"remoteFile", {3}, true, false, false},
                                           MenuCase{"fileAndRemoteFolder", {1, 2}, true, true, true}),
                         CaseName());

TEST_F(SourceFixture, RemoveSelectedTakesLocalAndRemoteItemsAndRemoveAllAsks) {
  profile.localSources = {{"/a", "", ItemKind::LocalFile, false}, {"/b", "", ItemKind::LocalFile, false}};
  profile.remoteSources = {
      Remote("h", "u", {{"/r1", "", ItemKind::FtpFile, false}}),
      Remote("h", "v", {{"/r1", "", ItemKind::FtpFile, false}, {"/r2", "", ItemKind::FtpFile, false}})};
  CBackupSourceDlg dialog(profile, state, world.services);
  SelectRows(dialog.List(), {0, 2, 3});  // /a, h(u)/r1, h(v)/r1
  dialog.OnRemoveSelected();
  EXPECT_EQ(Column(dialog.List(), 0), QStringList({"/b", "ftp://h/r2"}));
  ASSERT_EQ(profile.remoteSources.size(), 1u);  // the account left empty is gone
  EXPECT_EQ(profile.remoteSources[0].site.user, "v");

  world.prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes};
  dialog.OnRemoveAll();
  EXPECT_EQ(dialog.List()->topLevelItemCount(), 2);
  dialog.OnRemoveAll();
  EXPECT_EQ(world.prompts.questions, std::vector<std::string>(2, "Are you sure you want to delete all these items?"));
  EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);
  EXPECT_TRUE(profile.localSources.empty());
  EXPECT_TRUE(profile.remoteSources.empty());
  dialog.reject();  // Esc counts as O&K
  EXPECT_FALSE(profile.hasSources);
}

TEST_F(SourceFixture, EditFilterOnOneFolderStartsFromItsMasks) {
  profile.localSources = {{"/f", "+[*.txt]-[~*]", ItemKind::LocalFolder, true}};
  CBackupSourceDlg dialog(profile, state, world.services);
  SelectRows(dialog.List(), {0});
  WhenModal<CEditFilterDlg>([](CEditFilterDlg& filter) {
    EXPECT_EQ(filter.IncludeEdit()->text(), "*.txt");
    EXPECT_EQ(filter.ExcludeEdit()->text(), "~*");
    EXPECT_TRUE(filter.RecursiveBox()->isChecked());
    filter.IncludeEdit()->setText("*.txt;*.doc");
    filter.RecursiveBox()->setChecked(false);
    filter.accept();
  });
  dialog.OnEditFilter();
  EXPECT_EQ(profile.localSources[0].filter, "+[*.txt;*.doc]-[~*]");
  EXPECT_FALSE(profile.localSources[0].recursive);
  EXPECT_EQ(Column(dialog.List(), 1), QStringList({"+[*.txt;*.doc]-[~*]"}));
}

TEST_F(SourceFixture, EditFilterOnTwoFoldersStartsFromEverythingAndMovesTheRemoteSourceLast) {
  profile.localSources = {{"/f", "+[*.c]", ItemKind::LocalFolder, false}, {"/x", "", ItemKind::LocalFile, false}};
  profile.remoteSources = {Remote("h1", "u", {{"/p", "+[*.*]", ItemKind::FtpFolder, true}}),
                           Remote("h2", "u", {{"/q", "+[*.*]", ItemKind::FtpFolder, false}})};
  CBackupSourceDlg dialog(profile, state, world.services);
  SelectRows(dialog.List(), {0, 1, 2});  // two folders and a file
  WhenModal<CEditFilterDlg>([](CEditFilterDlg& filter) {
    EXPECT_EQ(filter.IncludeEdit()->text(), "*.*");
    EXPECT_EQ(filter.ExcludeEdit()->text(), "");
    EXPECT_TRUE(filter.RecursiveBox()->isChecked());  // from the last folder selected
    filter.ExcludeEdit()->setText("*.tmp");
    filter.accept();
  });
  dialog.OnEditFilter();
  EXPECT_EQ(profile.localSources[0].filter, "+[*.*]-[*.tmp]");
  EXPECT_EQ(profile.localSources[1].filter, "");  // the file is left alone
  ASSERT_EQ(profile.remoteSources.size(), 2u);
  EXPECT_EQ(profile.remoteSources[0].site.host, "h2");
  EXPECT_EQ(profile.remoteSources[1].site.host, "h1");
  EXPECT_EQ(profile.remoteSources[1].items[0].filter, "+[*.*]-[*.tmp]");
  EXPECT_TRUE(profile.remoteSources[1].items[0].recursive);
}

TEST_F(SourceFixture, ViewInformationOfOneFileAndOfSeveralItems) {
  fs::create_directories(sandbox / "dir");
  WriteFile(sandbox / "dir/report.txt", std::string(2048, 'x'));
  const std::string file = (sandbox / "dir/report.txt").string();
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
  profile.localSources = {{file, "", ItemKind::LocalFile, false},
                          {(sandbox / "dir").string(), "+[*.*]", ItemKind::LocalFolder, false}};
  CBackupSourceDlg dialog(profile, state, world.services);
  SelectRows(dialog.List(), {0});
  WhenModal<CFileInfoDlg>([&](CFileInfoDlg& info) {
    EXPECT_EQ(info.FieldEdit(CFileInfoDlg::kName)->text(), "report.txt");
    EXPECT_EQ(info.FieldEdit(CFileInfoDlg::kLocation)->text().toStdString(), (sandbox / "dir").string());
    EXPECT_EQ(info.FieldEdit(CFileInfoDlg::kSize)->text(), "2 KB (2048 Bytes)");
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d, \d\d:\d\d:\d\d$)")
                    .match(info.FieldEdit(CFileInfoDlg::kModified)->text())
                    .hasMatch());
    EXPECT_TRUE(info.AttributeBox(CFileInfoDlg::kReadOnly)->isChecked());
    EXPECT_FALSE(info.AttributeBox(CFileInfoDlg::kHidden)->isChecked());
    EXPECT_TRUE(info.AttributeBox(CFileInfoDlg::kArchive)->isChecked());
    info.accept();
  });
  dialog.OnViewInfo();
  SelectRows(dialog.List(), {0, 1});
  WhenModal<CItemsInfoDlg>([](CItemsInfoDlg& info) {
    EXPECT_EQ(info.TotalField()->text(), "1 Folder(s) 1 File(s)");
    info.accept();
  });
  dialog.OnViewInfo();
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

// The tree's nodes as "depth:text" lines, parents before children.
std::vector<std::string> Lines(const SourceTree& tree) {
  std::vector<std::string> lines;
  std::vector<int> depth;
  for (const SourceTreeNode& node : tree.nodes) {
    depth.push_back(node.parent < 0 ? 0 : depth[static_cast<std::size_t>(node.parent)] + 1);
    lines.push_back(std::to_string(depth.back()) + ":" + node.text);
  }
  return lines;
}

TEST_F(SourceFixture, SummaryTreeWalksFoldersAsTheJobDoes) {
  const fs::path src = sandbox / "src";
  for (const char* file : {"a.txt", "b.doc", "~c.txt", "sub/d.txt", "sub/e.bin", "sub/deep/f.txt"}) {
    fs::create_directories((src / file).parent_path());
    WriteFile(src / file, "x");
  }
  profile.localSources = {{"/loose/file.txt", "", ItemKind::LocalFile, false},
                          {src.string(), "+[*.txt;*.doc]-[~*]", ItemKind::LocalFolder, true}};
  profile.remoteSources = {Remote(
      "ftp.test", "u", {{"/pub", "+[*.*]", ItemKind::FtpFolder, false}, {"/pub/x.zip", "", ItemKind::FtpFile, false}})};
  const SourceTree recursive = BuildSourceTree(profile, 1000);
  EXPECT_EQ(Lines(recursive),
            (std::vector<std::string>{"0:" + src.string(), "1:sub", "2:deep", "3:f.txt", "2:d.txt", "1:a.txt",
                                      "1:b.doc", "0:ftp.test", "1:/pub", "1:/pub/x.zip", "0:/loose/file.txt"}));
  EXPECT_FALSE(recursive.cut);

  // Without recursion the sub-folders are shown whole; the masks hold for the folder itself.
  profile.localSources[1].recursive = false;
  const std::vector<std::string> flat = Lines(BuildSourceTree(profile, 1000));
  ASSERT_GE(flat.size(), 7u);
  EXPECT_EQ(
      std::vector<std::string>(flat.begin(), flat.begin() + 7),
      (std::vector<std::string>{"0:" + src.string(), "1:sub", "2:deep", "3:f.txt", "2:d.txt", "2:e.bin", "1:a.txt"}));

  const SourceTree cut = BuildSourceTree(profile, 3);
  EXPECT_TRUE(cut.cut);
  EXPECT_LT(cut.nodes.size(), recursive.nodes.size());
}

TEST_F(SourceFixture, SummaryDialogShowsTheTreeOnceGathered) {
  WriteFile(sandbox / "one.txt", "1");
  profile.localSources = {{sandbox.path().string(), "+[*.txt]", ItemKind::LocalFolder, false}};
  CSourceTreeDlg dialog(profile);
  ASSERT_TRUE(WaitFor([&] { return dialog.Ready(); }));
  ASSERT_EQ(dialog.Tree()->topLevelItemCount(), 1);
  QTreeWidgetItem* root = dialog.Tree()->topLevelItem(0);
  EXPECT_EQ(root->text(0).toStdString(), sandbox.path().string());
  QStringList children;
  for (int i = 0; i < root->childCount(); ++i) children << root->child(i)->text(0);
  EXPECT_TRUE(children.contains("one.txt")) << children.join(",").toStdString();
}

TEST_F(SourceFixture, SummaryDialogClosedEarlyEndsTheWalk) {
  // A walk of the whole file system would take long: closing must not wait for it.
  profile.localSources = {{"/", "+[*.*]", ItemKind::LocalFolder, true}};
  const auto start = std::chrono::steady_clock::now();
  { CSourceTreeDlg dialog(profile); }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace tarnwick::ui::test
