// The remote browser against a real FTP server on 127.0.0.1, and the dialog that opens it: walking
// folders, refusals, adding rows once, a server that never answers, and the source accounts.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "support/FtpTestServer.h"
#include "support/ScopedEnv.h"
#include "support/SshTestServer.h"
#include "ui/FtpBrowseDlg.h"
#include "ui/HistoryComboBox.h"
#include "ui/RemoteSourceDlg.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::ClosedLoopbackPort;
using tarnwick::test::FtpTestServer;
using tarnwick::test::ReadFile;
using tarnwick::test::SilentListener;
using tarnwick::test::WriteFile;

QStringList Names(QTreeWidget* list) {
  QStringList names;
  for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
  return names;
}

struct BrowseFixture : ::testing::Test {
  Sandbox sandbox;
  RecordingPrompts prompts;
  FtpTestServer server;
  std::vector<SourceItem> target;

  BrowseFixture() {
    fs::create_directories(server.root() / "pub/deep");
    WriteFile(server.root() / "pub/a.txt", "a");
    WriteFile(server.root() / "big.bin", std::string(5000, 'b'));
    WriteFile(server.root() / "Small.txt", "s");
  }

  FtpBrowseAccount Account(int port = 0) const {
    return {server.host(), std::to_string(port ? port : server.port()), server.user(), server.password(), "", true,
            false};
  }

  // Shown (which opens the session) and waited for until the first listing is in.
  std::unique_ptr<CFtpBrowseDlg> Open(FtpBrowseAccount account) {
    auto dialog = std::make_unique<CFtpBrowseDlg>(std::move(account), target, prompts, kTestTimeouts);
    dialog->show();
    EXPECT_TRUE(WaitFor([&] { return !dialog->Busy(); })) << server.Log();
    return dialog;
  }

  static bool Settle(CFtpBrowseDlg& dialog) {
    return WaitFor([&] { return !dialog.Busy(); });
  }
};

TEST_F(BrowseFixture, ListsFoldersFirstAndWalksDownAndUp) {
  auto dialog = Open(Account());
  EXPECT_EQ(dialog->CurrentFolder(), "/");
  EXPECT_EQ(dialog->PathEdit()->text(), "/");
  // Folders first, then files, each in the server's order.
  EXPECT_EQ(Names(dialog->List()), QStringList({"Parent Directory", "locked", "pub", "Small.txt", "big.bin"}));
  dialog->OnRowActivated(2);  // "pub"
  ASSERT_TRUE(Settle(*dialog));
  EXPECT_EQ(dialog->CurrentFolder(), "/pub");
  EXPECT_EQ(Names(dialog->List()), QStringList({"Parent Directory", "deep", "a.txt"}));
  EXPECT_EQ(dialog->Entries().front(), (SourceItem{"/pub/deep", "+[*.*]", ItemKind::FtpFolder, false}));
  dialog->OnRowActivated(2);  // a file: nothing happens
  EXPECT_FALSE(dialog->Busy());
  dialog->OnRowActivated(0);  // "Parent Directory"
  ASSERT_TRUE(Settle(*dialog));
  EXPECT_EQ(dialog->CurrentFolder(), "/");
  dialog->UpButton()->click();  // at the root: nothing
  EXPECT_FALSE(dialog->Busy());
  dialog->PathEdit()->setText("/pub/deep");
  QTest::keyClick(dialog->PathEdit(), Qt::Key_Return);  // Enter in the path field changes folder
  ASSERT_TRUE(Settle(*dialog));
  EXPECT_EQ(dialog->CurrentFolder(), "/pub/deep");
  EXPECT_EQ(Names(dialog->List()), QStringList({"Parent Directory"}));  // an empty folder
  EXPECT_TRUE(dialog->isVisible());                                     // Enter there did not close the dialog
  EXPECT_TRUE(prompts.messages.empty());
}

// The same browser over SFTP, trusting the host key the user's known_hosts holds.
TEST(SftpBrowse, WalksAnSshServersFolders) {
  std::string whyNot;
  const auto server = tarnwick::test::StartSshTestServer(whyNot);
  if (!server) GTEST_SKIP() << whyNot;
  Sandbox sandbox;
  WriteFile(sandbox / "home/.ssh/known_hosts", ReadFile(server->knownHostsFile()));
  const tarnwick::test::ScopedEnv home("HOME", (sandbox / "home").c_str());
  WriteFile(server->root() / "pub/a.txt", "a");
  RecordingPrompts prompts;
  std::vector<SourceItem> target;
  FtpBrowseAccount account{"127.0.0.1",
                           std::to_string(server->port()),
                           server->user(),
                           "",
                           server->root().string(),
                           false,
                           true,
                           false,
                           true,
                           server->keyFile()};
  CFtpBrowseDlg dialog(std::move(account), target, prompts, kTestTimeouts);
  dialog.show();
  ASSERT_TRUE(WaitFor([&] { return !dialog.Busy(); })) << server->Log();
  EXPECT_EQ(Names(dialog.List()), QStringList({"Parent Directory", "pub"}));
  dialog.OnRowActivated(1);
  ASSERT_TRUE(WaitFor([&] { return !dialog.Busy(); }));
  EXPECT_EQ(Names(dialog.List()), QStringList({"Parent Directory", "a.txt"}));
}

TEST_F(BrowseFixture, RefusedFoldersSayWhyInTheirOwnWords) {
  auto dialog = Open(Account());
  dialog->OnRowActivated(1);  // "locked"
  ASSERT_TRUE(Settle(*dialog));
  dialog->PathEdit()->setText("/nowhere");
  dialog->OnPathEntered();
  ASSERT_TRUE(Settle(*dialog));
  EXPECT_EQ(prompts.messages,
            (std::vector<std::string>{"550 locked: Permission denied.", "Cannot change directory to \"/nowhere\"."}));
  EXPECT_EQ(dialog->CurrentFolder(), "/");
}

TEST_F(BrowseFixture, AddsEachPathOnceAndMarksTheRows) {
  auto dialog = Open(Account());
  dialog->Row("pub")->setSelected(true);
  dialog->Row("big.bin")->setSelected(true);
  dialog->List()->topLevelItem(0)->setSelected(true);  // "Parent Directory" is never added
  dialog->OnAddToList();
  ASSERT_EQ(target.size(), 2u);
  EXPECT_EQ(target[0], (SourceItem{"/pub", "+[*.*]", ItemKind::FtpFolder, false}));
  EXPECT_EQ(target[1].path, "/big.bin");
  EXPECT_EQ(target[1].kind, ItemKind::FtpFile);
  // Away and back: the folder is still added only once.
  dialog->OnRowActivated(2);
  ASSERT_TRUE(Settle(*dialog));
  dialog->OnUp();
  ASSERT_TRUE(Settle(*dialog));
  dialog->Row("pub")->setSelected(true);
  dialog->OnAddToList();
  EXPECT_EQ(target.size(), 2u);
  dialog->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(BrowseFixture, SortsBySizeAsNumbersWithTheParentRowFirst) {
  auto dialog = Open(Account());
  QHeaderView* header = dialog->List()->header();
  Q_EMIT header->sectionClicked(CFtpBrowseDlg::kSizeColumn);
  EXPECT_EQ(Names(dialog->List()).mid(0, 1), QStringList({"Parent Directory"}));
  EXPECT_EQ(Names(dialog->List()).last(), "big.bin");         // 5000 after 1, whatever the text says
  Q_EMIT header->sectionClicked(CFtpBrowseDlg::kSizeColumn);  // descending: the parent row stays on top
  EXPECT_EQ(Names(dialog->List()).mid(0, 2), QStringList({"Parent Directory", "big.bin"}));
  Q_EMIT header->sectionClicked(CFtpBrowseDlg::kNameColumn);
  EXPECT_EQ(Names(dialog->List()), QStringList({"Parent Directory", "big.bin", "locked", "pub", "Small.txt"}));
}

TEST_F(BrowseFixture, AServerThatCannotBeReachedEndsTheDialog) {
  auto dialog = std::make_unique<CFtpBrowseDlg>(Account(ClosedLoopbackPort()), target, prompts, kTestTimeouts);
  dialog->show();
  ASSERT_TRUE(WaitFor([&] { return !dialog->isVisible(); }));
  EXPECT_EQ(dialog->result(), CFtpBrowseDlg::kNotConnected);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Unable to connect to host 127.0.0.1."});
}

TEST_F(BrowseFixture, ADeadServerNeverFreezesTheWindowAndCloseGivesUp) {
  SilentListener silent;
  FtpTimeouts patient{std::chrono::milliseconds(60000), std::chrono::milliseconds(60000)};
  auto dialog = std::make_unique<CFtpBrowseDlg>(Account(silent.port()), target, prompts, patient);
  dialog->show();
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
  tick.start(20);
  QTest::qWait(500);
  EXPECT_GE(ticks, 10);  // the window's thread kept running while the server said nothing
  EXPECT_TRUE(dialog->Busy());
  EXPECT_EQ(dialog->List()->cursor().shape(), Qt::WaitCursor);
  const auto start = std::chrono::steady_clock::now();
  dialog->CloseButton()->click();
  EXPECT_EQ(dialog->result(), CFtpBrowseDlg::kNotConnected);
  dialog.reset();  // the session's thread ends at once
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  QTest::qWait(50);
  EXPECT_TRUE(prompts.messages.empty());  // the given-up reply says nothing
}

struct RemoteFixture : BrowseFixture {
  EditorWorld world;
  Profile profile;
};

TEST_F(RemoteFixture, BrowseChecksTheAccountFirst) {
  CRemoteSourceDlg dialog(profile, world.services);
  dialog.show();
  dialog.Account().host->setEditText("");
  dialog.OnBrowse();
  dialog.Account().host->setEditText(QString::fromStdString(server.host()));
  dialog.Account().port->setText(QString::number(server.port()));
  dialog.Account().user->setText("someone");
  dialog.Account().password->clear();
  dialog.OnBrowse();
  dialog.InitialPathEdit()->setText("/a\nb");
  dialog.Account().password->setText("x");
  dialog.OnBrowse();
  EXPECT_EQ(world.prompts.messages,
            (std::vector<std::string>{"Please enter hostname for this FTP account.",
                                      "Please enter password for this FTP account.",
                                      "The remote path cannot be used: it holds a line break."}));
  EXPECT_EQ(dialog.focusWidget(), dialog.InitialPathEdit());
}

TEST_F(RemoteFixture, BrowsedItemsBecomeTheAccountsSourceAndOkStoresTheAccount) {
  profile.remoteSources = {FtpSource{{server.host(), "21", server.user(), "old", "", "0", false},
                                     {{"/gone", "+[*.*]", ItemKind::FtpFolder, false}}},
                           FtpSource{{server.host(), "21", "another", "pw", "", "0", false},
                                     {{"/kept", "+[*.*]", ItemKind::FtpFolder, false}}}};
  CRemoteSourceDlg dialog(profile, world.services);
  dialog.show();
  dialog.Account().host->setEditText(QString::fromStdString(server.host()));
  dialog.Account().tls->setChecked(false);  // the test server speaks plain FTP
  dialog.Account().port->setText(QString::number(server.port()));
  dialog.Account().user->setText(QString::fromStdString(server.user()));
  dialog.Account().password->setText(QString::fromStdString(server.password()));
  dialog.ServerTypeCombo()->setCurrentIndex(1);
  WhenModal<CFtpBrowseDlg>([](CFtpBrowseDlg& browse) {
    ASSERT_TRUE(WaitFor([&] { return !browse.Busy(); }));
    browse.Row("Small.txt")->setSelected(true);
    browse.OnAddToList();
    browse.accept();
  });
  dialog.OnBrowse();
  ASSERT_EQ(profile.remoteSources.size(), 2u);
  EXPECT_EQ(profile.remoteSources[0].site.user, "another");  // another user's source stays
  const FtpSource& added = profile.remoteSources[1];
  EXPECT_EQ(added.site.host, server.host());
  EXPECT_EQ(added.site.port, std::to_string(server.port()));
  EXPECT_EQ(added.site.password, server.password());
  EXPECT_TRUE(added.site.serverIsUnix);
  ASSERT_EQ(added.items.size(), 1u);  // "/gone" was not among the dialog's items
  EXPECT_EQ(added.items[0].path, "/Small.txt");
  EXPECT_EQ(Names(dialog.ItemList()), QStringList({"/Small.txt"}));

  dialog.accept();
  EXPECT_EQ(ReadFile(sandbox / "bin/ftpsrc.ini"), "[127.0.0.1]\nPORT=" + std::to_string(server.port()) +
                                                      "\nUSERNAME=backup\nPASSWORD=s3cret pass\nPASSIVE=0\nINIDIR=\n"
                                                      "SERVERTYPE=Unix Server\nTLS=0\n");
  CRemoteSourceDlg reopened(profile, world.services);  // the last host comes back with its account
  EXPECT_EQ(reopened.Account().host->currentText().toStdString(), server.host());
  EXPECT_EQ(reopened.Account().user->text().toStdString(), server.user());
  EXPECT_EQ(reopened.ServerTypeCombo()->currentIndex(), 1);
  EXPECT_EQ(Names(reopened.ItemList()), QStringList({"/Small.txt"}));
}

// An SFTP source typed into the dialog: its key's passphrase is asked once, when the browser
// first logs in, and only the key's path is kept.
TEST(SftpRemoteSource, AProtectedKeyIsAskedForOnceAndTheAccountKeepsOnlyItsPath) {
  std::string whyNot;
  const auto server = tarnwick::test::StartSshTestServer(whyNot);
  if (!server) GTEST_SKIP() << whyNot;
  Sandbox sandbox;
  EditorWorld world;
  WriteFile(sandbox / "home/.ssh/known_hosts", ReadFile(server->knownHostsFile()));
  const tarnwick::test::ScopedEnv home("HOME", (sandbox / "home").c_str());
  const tarnwick::test::ScopedEnv noAgent("SSH_AUTH_SOCK", nullptr);
  const std::string key = (sandbox / "protected_key").string();
  ASSERT_EQ(std::system(("ssh-keygen -q -t ed25519 -N 'open sesame' -f '" + key + "' >/dev/null").c_str()), 0);
  server->Authorize(key + ".pub");
  WriteFile(server->root() / "a.txt", "a");
  world.prompts.secrets = {"open sesame"};

  Profile profile;
  CRemoteSourceDlg dialog(profile, world.services);
  dialog.show();
  const FtpAccountControls& account = dialog.Account();
  account.host->setEditText("127.0.0.1");
  account.protocol->setCurrentText("SFTP");
  EXPECT_TRUE(account.keyFile->isVisible());
  account.port->setText(QString::number(server->port()));
  account.user->setText(QString::fromStdString(server->user()));
  account.keyFile->setText(QString::fromStdString(key));
  dialog.InitialPathEdit()->setText(QString::fromStdString(server->root().string()));
  for (int browse = 0; browse < 2; ++browse) {
    WhenModal<CFtpBrowseDlg>([](CFtpBrowseDlg& browser) {
      ASSERT_TRUE(WaitFor([&] { return !browser.Busy(); }));
      ASSERT_NE(browser.Row("a.txt"), nullptr);
      browser.Row("a.txt")->setSelected(true);
      browser.OnAddToList();
      browser.accept();
    });
    dialog.OnBrowse();
  }
  EXPECT_EQ(world.prompts.secretQuestions, std::vector<std::string>{"Passphrase for the private key " + key + ":"});
  ASSERT_EQ(profile.remoteSources.size(), 1u);
  EXPECT_TRUE(profile.remoteSources[0].site.sftp);
  EXPECT_EQ(profile.remoteSources[0].site.keyFile, key);
  dialog.accept();
  const std::string stored = ReadFile(sandbox / "bin/ftpsrc.ini");
  EXPECT_NE(stored.find("SFTP=1\nKEYFILE=" + key + "\n"), std::string::npos) << stored;
  EXPECT_EQ(stored.find("open sesame"), std::string::npos);
}

TEST_F(RemoteFixture, OkKeepsNoAccountThatCouldNotBeUsed) {
  CRemoteSourceDlg dialog(profile, world.services);
  dialog.show();
  dialog.Account().host->setEditText("ftp://files.test");
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  dialog.Account().host->setEditText("files.test");
  dialog.Account().port->setText("99999");
  dialog.accept();
  EXPECT_EQ(dialog.focusWidget(), dialog.Account().port);
  dialog.Account().port->clear();  // empty fields are fine here: OK asks for nothing
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(world.prompts.messages,
            (std::vector<std::string>{
                "The host name \"ftp://files.test\" cannot be used: enter the server's name or address alone, "
                "without \"ftp://\".",
                "The port \"99999\" cannot be used: a port is a number from 1 to 65535."}));
  EXPECT_EQ(ReadFile(sandbox / "bin/ftpsrc.ini").find("ftp://"), std::string::npos);
}

TEST_F(RemoteFixture, ChoosingAHostRecallsItsAccountAndItems) {
  WriteFile(sandbox / "bin/ftpsrc.ini",
            "[a.test]\nPORT=2121\nUSERNAME=ann\nPASSWORD=pw\nPASSIVE=1\nINIDIR=/pub\nSERVERTYPE=unix\n"
            "[b.test]\nPORT=21\nUSERNAME=\nPASSWORD=\nPASSIVE=0\nINIDIR=\nSERVERTYPE=Windows Server\n");
  profile.remoteSources = {
      FtpSource{{"a.test", "2121", "ann", "pw", "", "1", true}, {{"/pub/x", "", ItemKind::FtpFile, false}}}};
  ASSERT_TRUE(world.history.SetString("BackupSrcHost", "HistoryItem0", "b.test").ok());
  ASSERT_TRUE(world.history.SetString("BackupSrcHost", "HistoryItem1", "a.test").ok());
  CRemoteSourceDlg dialog(profile, world.services);
  EXPECT_TRUE(dialog.Account().mask->isChecked());
  EXPECT_TRUE(dialog.Account().saveAccount->isChecked());
  dialog.Account().host->setCurrentIndex(1);
  Q_EMIT dialog.Account().host->activated(1);
  EXPECT_EQ(dialog.Account().port->text(), "2121");
  EXPECT_EQ(dialog.Account().user->text(), "ann");
  EXPECT_FALSE(dialog.Account().anonymous->isChecked());
  EXPECT_EQ(dialog.InitialPathEdit()->text(), "/pub");
  EXPECT_TRUE(dialog.PassiveBox()->isChecked());
  EXPECT_EQ(dialog.ServerTypeCombo()->currentText(), "Unix Server");  // "unix" begins it
  EXPECT_EQ(Names(dialog.ItemList()), QStringList({"/pub/x"}));
  dialog.Account().host->setCurrentIndex(0);
  Q_EMIT dialog.Account().host->activated(0);
  EXPECT_TRUE(dialog.Account().anonymous->isChecked());
  EXPECT_EQ(dialog.Account().user->text(), "");
  EXPECT_EQ(dialog.ServerTypeCombo()->currentText(), "Windows Server");
  EXPECT_EQ(dialog.ItemList()->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace tarnwick::ui::test
