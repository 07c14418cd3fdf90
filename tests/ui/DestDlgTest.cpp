// "Backup Destination": OK's checks and focus, what it writes, the history lists, account recall and
// storage, and the password field.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <filesystem>
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "app/ProgramFolder.h"
#include "ui/BackupDestDlg.h"
#include "ui/HistoryComboBox.h"
#include "ui/LoginTestDlg.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::ReadFile;
using tarnwick::test::WriteFile;

// Whether `field` (or the edit inside it) holds the dialog's focus.
bool HasFocus(QDialog& dialog, QWidget* field) {
  QWidget* focus = dialog.focusWidget();
  return focus != nullptr && (focus == field || field->isAncestorOf(focus));
}

QStringList Entries(const CHistoryComboBox* combo) {
  QStringList entries;
  for (const std::string& entry : combo->List().Entries()) entries << QString::fromStdString(entry);
  return entries;
}

struct DestFixture : ::testing::Test {
  Sandbox sandbox;
  EditorWorld world;
  Profile profile;
  DestinationChoices choices;

  // The dialog, shown so that focus moves as the user would see it.
  std::unique_ptr<CBackupDestDlg> Open() {
    auto dialog = std::make_unique<CBackupDestDlg>(profile, choices, world.services);
    dialog->show();
    dialog->activateWindow();
    return dialog;
  }
};

enum class Field { None, Folder, Host, Port, User, Password, RemotePath };

struct OkCase {
  const char* name;
  std::function<void(CBackupDestDlg&, const Sandbox&)> fill;
  const char* message;  // empty: accepted
  Field focus;
};

void PrintTo(const OkCase& c, std::ostream* os) { *os << c.name; }

class DestinationOk : public DestFixture, public ::testing::WithParamInterface<OkCase> {};

void Ftp(CBackupDestDlg& d, const char* host, const char* port, const char* user, const char* password,
         const char* path = "/up") {
  d.FtpRadio()->setChecked(true);
  d.Account().host->setEditText(host);
  d.Account().port->setText(port);
  d.Account().user->setText(user);
  d.Account().password->setText(password);
  d.RemotePathEdit()->setText(path);
}

QWidget* FieldWidget(CBackupDestDlg& d, Field field) {
  switch (field) {
    case Field::Folder: return d.FolderCombo();
    case Field::Host: return d.Account().host;
    case Field::Port: return d.Account().port;
    case Field::User: return d.Account().user;
    case Field::Password: return d.Account().password;
    case Field::RemotePath: return d.RemotePathEdit();
    default: return nullptr;
  }
}

TEST_P(DestinationOk, ChecksInOrderAndFocusesTheField) {
  const OkCase& c = GetParam();
  auto dialog = Open();
  c.fill(*dialog, sandbox);
  dialog->accept();
  if (*c.message == 0) {
    EXPECT_TRUE(world.prompts.messages.empty()) << world.prompts.messages.front();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    return;
  }
  EXPECT_EQ(world.prompts.messages, std::vector<std::string>{c.message});
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(HasFocus(*dialog, FieldWidget(*dialog, c.focus)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DestinationOk,
    ::testing::Values(
        OkCase{"localEmpty", [](auto& d, auto&) { d.FolderCombo()->setEditText(""); },
               "Please specify a local folder for backup destination.", Field::Folder},
        OkCase{"localMissing",
               [](auto& d, auto& s) { d.FolderCombo()->setEditText(QString::fromStdString((s / "nope").string())); },
               "The directory you've entered does not exist.", Field::Folder},
        OkCase{"localWithSeparator",
               [](auto& d, auto& s) { d.FolderCombo()->setEditText(QString::fromStdString(s.path().string() + "/")); },
               "", Field::None},
        OkCase{"ftpNoHost", [](auto& d, auto&) { Ftp(d, "", "21", "u", "p"); },
               "Please enter hostname for this FTP account.", Field::Host},
        OkCase{
            "ftpSchemeInHost", [](auto& d, auto&) { Ftp(d, "ftp://h", "21", "u", "p"); },
            "The host name \"ftp://h\" cannot be used: enter the server's name or address alone, without \"ftp://\".",
            Field::Host},
        OkCase{"ftpNoPort", [](auto& d, auto&) { Ftp(d, "h", "", "", ""); },
               "Please enter port number for this FTP account.", Field::Port},
        OkCase{"ftpPortOutOfRange", [](auto& d, auto&) { Ftp(d, "h", "70000", "u", "p"); },
               "The port \"70000\" cannot be used: a port is a number from 1 to 65535.", Field::Port},
        OkCase{"ftpNoUser", [](auto& d, auto&) { Ftp(d, "h", "21", "", ""); },
               "Please enter username for this FTP account.", Field::User},
        OkCase{"ftpNoPassword", [](auto& d, auto&) { Ftp(d, "h", "21", "u", ""); },
               "Please enter password for this FTP account.", Field::Password},
        OkCase{"ftpLineBreakInPath", [](auto& d, auto&) { Ftp(d, "h", "21", "u", "p", "/a\nb"); },
               "The remote path cannot be used: it holds a line break.", Field::RemotePath},
        OkCase{"ftpAnonymous",
               [](auto& d, auto&) {
                 Ftp(d, "h", "21", "", "");
                 d.Account().anonymous->setChecked(true);
               },
               "", Field::None}),
    CaseName());

TEST_F(DestFixture, OkWritesTheLocalDestinationWithoutItsTrailingSeparator) {
  auto dialog = Open();
  dialog->FolderCombo()->setEditText(QString::fromStdString(sandbox.path().string() + "/"));
  dialog->DateFolderBox()->setChecked(true);
  dialog->accept();
  EXPECT_TRUE(profile.destIsLocal);
  EXPECT_EQ(profile.localDestFolder, sandbox.path().string());
  EXPECT_TRUE(profile.useDateFolder);
}

TEST_F(DestFixture, OkWritesTheFtpDestinationAndTheAccountFile) {
  auto dialog = Open();
  Ftp(*dialog, "ftp.example.test", "2121", "bob", "s3cret", "/backup");
  dialog->PassiveBox()->setChecked(true);
  dialog->Account().mask->setChecked(false);
  dialog->accept();
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(profile.destIsLocal);
  EXPECT_EQ(profile.ftpDest, (FtpSite{"ftp.example.test", "2121", "bob", "s3cret", "/backup", "1", false, true}))
      << "a new account uses TLS";
  EXPECT_FALSE(choices.maskPassword);
  EXPECT_TRUE(choices.saveAccountInfo);
  EXPECT_EQ(ReadFile(sandbox / "bin/ftpac.ini"),
            "[ftp.example.test]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\nTLS=1\n");
  EXPECT_EQ(fs::status(sandbox / "bin/ftpac.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// SFTP swaps the standard port, needs no password with a key, and goes into the profile and the
// account file.
TEST_F(DestFixture, AnSftpAccountWithAKeyIsStoredWithoutAPassword) {
  auto dialog = Open();
  Ftp(*dialog, "ssh.example.test", "21", "bob", "", "/backup");
  dialog->Account().protocol->setCurrentIndex(1);
  EXPECT_EQ(dialog->Account().port->text(), "22");
  dialog->Account().keyFile->setText("/home/bob/.ssh/id_ed25519");
  dialog->accept();
  ASSERT_EQ(dialog->result(), QDialog::Accepted) << testing::PrintToString(world.prompts.messages);
  EXPECT_TRUE(profile.ftpDest.sftp);
  EXPECT_EQ(profile.ftpDest.keyFile, "/home/bob/.ssh/id_ed25519");
  EXPECT_EQ(profile.ftpDest.port, "22");
  EXPECT_NE(ReadFile(sandbox / "bin/ftpac.ini").find("SFTP=1\nKEYFILE=/home/bob/.ssh/id_ed25519\n"), std::string::npos);

  auto again = Open();
  EXPECT_EQ(again->Account().protocol->currentIndex(), 1);
  again->Account().protocol->setCurrentIndex(0);
  EXPECT_EQ(again->Account().port->text(), "21");
}

// A click on a radio button's round mark, which a click on the middle of a wide one misses.
void ClickIndicator(QRadioButton* radio) {
  QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
}

// An SFTP account that logs in with its key file, typed by keys and stored by OK, comes back with
// its user name when the FTP choice recalls its host, not as anonymous.
TEST_F(DestFixture, AKeyLoginAccountIsRecalledWithItsUserName) {
  {
    auto dialog = Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    ClickIndicator(dialog->FtpRadio());
    QTest::keyClicks(dialog->Account().host->lineEdit(), "ssh.example.test");
    QTest::keyClick(dialog->Account().protocol, Qt::Key_Down);  // SFTP
    QTest::keyClicks(dialog->Account().user, "bob");
    QTest::keyClicks(dialog->Account().keyFile, "/home/bob/.ssh/id_ed25519");
    QTest::keyClicks(dialog->RemotePathEdit(), "/backup");
    QTest::keyClick(dialog.get(), Qt::Key_K, Qt::AltModifier);  // O&K
    ASSERT_TRUE(WaitFor([&] { return dialog->result() == QDialog::Accepted; }, 3000))
        << testing::PrintToString(world.prompts.messages);
  }
  profile = Profile{};
  auto again = Open();
  ClickIndicator(again->FtpRadio());
  const FtpAccountControls& account = again->Account();
  EXPECT_EQ(account.host->currentText(), "ssh.example.test");
  EXPECT_FALSE(account.anonymous->isChecked());
  EXPECT_EQ(account.user->text(), "bob");
  EXPECT_EQ(account.password->text(), "");
  EXPECT_TRUE(account.Sftp());
  EXPECT_EQ(account.keyFile->text(), "/home/bob/.ssh/id_ed25519");
  EXPECT_EQ(account.port->text(), "22");
}

// Choosing plain FTP tells once per account that the password travels in clear, and the account
// file remembers that it was told.
TEST_F(DestFixture, PlainFtpIsExplainedOncePerAccount) {
  auto dialog = Open();
  Ftp(*dialog, "plain.test", "21", "bob", "pw", "");
  ASSERT_TRUE(dialog->Account().tls->isChecked()) << "a new account starts with TLS";
  dialog->Account().tls->click();
  dialog->Account().tls->click();
  dialog->Account().tls->click();
  EXPECT_EQ(world.prompts.messages, std::vector<std::string>{UiString(IDS_FTP_PLAIN_WARNING).toStdString()});
  dialog->accept();
  EXPECT_FALSE(profile.ftpDest.tls);
  EXPECT_NE(ReadFile(sandbox / "bin/ftpac.ini").find("TLS=0\nPLAINWARNED=1\n"), std::string::npos);
}

TEST_F(DestFixture, AnonymousAccountIsStoredWithoutCredentialsAndNothingWithoutSaveAccount) {
  {
    auto dialog = Open();
    Ftp(*dialog, "anon.test", "21", "typed", "typed-pw", "");
    dialog->Account().anonymous->setChecked(true);
    dialog->accept();
    EXPECT_TRUE(profile.anonymousLogin);
  }
  EXPECT_EQ(ReadFile(sandbox / "bin/ftpac.ini"),
            "[anon.test]\nPORT=21\nUSERNAME=\nPASSWORD=\nINIDIR=\nPASSIVE=0\nTLS=1\n");
  auto dialog = Open();
  Ftp(*dialog, "other.test", "21", "u", "p");
  dialog->Account().saveAccount->setChecked(false);
  dialog->accept();
  EXPECT_FALSE(choices.saveAccountInfo);
  EXPECT_EQ(ReadFile(sandbox / "bin/ftpac.ini").find("other.test"), std::string::npos);
}

TEST_F(DestFixture, OpensWithTheProfilesValuesAndTheKindsEnabling) {
  profile.destIsLocal = false;
  profile.ftpDest = {"h.test", "", "me", "pw", "/in", "1", false};
  auto dialog = Open();
  EXPECT_TRUE(dialog->FtpRadio()->isChecked());
  EXPECT_EQ(dialog->Account().host->currentText(), "h.test");
  EXPECT_EQ(dialog->Account().port->text(), "21");  // empty port shows the standard one
  EXPECT_EQ(dialog->RemotePathEdit()->text(), "/in");
  EXPECT_TRUE(dialog->PassiveBox()->isChecked());
  EXPECT_TRUE(dialog->Account().mask->isChecked());
  EXPECT_TRUE(dialog->Account().saveAccount->isChecked());
  EXPECT_FALSE(dialog->DateFolderBox()->isChecked());
  EXPECT_FALSE(dialog->FolderCombo()->isEnabled());
  EXPECT_FALSE(dialog->BrowseButton()->isEnabled());
  EXPECT_TRUE(dialog->PingButton()->isEnabled());
  dialog->LocalRadio()->setChecked(true);
  EXPECT_TRUE(dialog->FolderCombo()->isEnabled());
  for (QWidget* ftpControl : std::initializer_list<QWidget*>{dialog->Account().host, dialog->Account().password,
                                                             dialog->RemotePathEdit(), dialog->TestLoginButton()}) {
    EXPECT_FALSE(ftpControl->isEnabled());
  }
}

// Secured FTP is always passive and SFTP has no data connections: the box means something only for
// plain FTP.
TEST_F(DestFixture, PassiveModeIsOfferedForPlainFtpOnly) {
  profile.destIsLocal = false;
  profile.ftpDest = {"h.test", "21", "me", "pw", "/in", "0", false};
  auto dialog = Open();
  QCheckBox* passive = dialog->PassiveBox();
  const FtpAccountControls& account = dialog->Account();
  EXPECT_TRUE(passive->isEnabled()) << "a profile without TLS opens as plain FTP";
  account.tls->setChecked(true);
  EXPECT_FALSE(passive->isEnabled());
  account.tls->setChecked(false);
  EXPECT_TRUE(passive->isEnabled());
  account.protocol->setCurrentIndex(1);
  EXPECT_FALSE(passive->isEnabled());
  account.protocol->setCurrentIndex(0);
  dialog->LocalRadio()->setChecked(true);
  EXPECT_FALSE(passive->isEnabled());
  dialog->FtpRadio()->setChecked(true);  // which recalls the host's account, TLS choice included
  EXPECT_EQ(passive->isEnabled(), !account.tls->isChecked());
}

TEST_F(DestFixture, PasswordShowsOnlyWhenMaskIsOff) {
  profile.ftpDest.password = "s3cret";
  auto dialog = Open();
  QLineEdit* password = dialog->Account().password;
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_NE(password->displayText(), "s3cret");
  dialog->Account().mask->setChecked(false);
  EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(password->displayText(), "s3cret");
}

TEST_F(DestFixture, HistoriesKeepTenMostRecentFirstAndTheHostOfALocalDestination) {
  for (int i = 0; i < 11; ++i) {
    auto dialog = Open();
    dialog->FolderCombo()->setEditText(
        QString::fromStdString("  " + sandbox.path().string() + "/d" + std::to_string(i) + "  "));
    fs::create_directories(sandbox / ("d" + std::to_string(i)));
    dialog->Account().host->setEditText(i % 2 ? "Host.Test" : "host.test");
    dialog->accept();
  }
  auto dialog = Open();
  QStringList expected;
  for (int i = 10; i > 0; --i) expected << QString::fromStdString(sandbox.path().string() + "/d" + std::to_string(i));
  EXPECT_EQ(Entries(dialog->FolderCombo()), expected);                     // trimmed, newest first, d0 pushed out
  EXPECT_EQ(Entries(dialog->Account().host), QStringList({"host.test"}));  // one entry, the newer spelling
  QSettings settings(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
  EXPECT_FALSE(settings.contains(QStringLiteral("BackupLocalDir/HistoryItem10")));
  EXPECT_EQ(settings.value(QStringLiteral("BackupLocalDir/HistoryItem0")).toString(), expected.front());
  EXPECT_EQ(settings.value(QStringLiteral("BackupFtpAddr/HistoryItem")).toString(), "host.test");
}

TEST_F(DestFixture, BrowsedFolderGoesToTheTopOfTheHistoryAndIntoTheField) {
  world.files.folders = {"/chosen"};
  auto dialog = Open();
  dialog->OnBrowse();
  EXPECT_EQ(world.files.folderTitles, std::vector<QString>{"Please select a destination folder below:"});
  EXPECT_EQ(dialog->FolderCombo()->currentText(), "/chosen");
  EXPECT_EQ(Entries(dialog->FolderCombo()).value(0), "/chosen");
}

TEST_F(DestFixture, RecallFillsTheAccountOfTheChosenHost) {
  WriteFile(sandbox / "bin/ftpac.ini",
            "[known.test]\nPORT=2121\nUSERNAME=bob\nPASSWORD=pw\nINIDIR=/stored\nPASSIVE=1\n"
            "[mine.test]\nPORT=21\nUSERNAME=me\nPASSWORD=x\nINIDIR=/stored\nPASSIVE=0\n");
  profile.ftpDest = {"mine.test", "21", "me", "x", "/from-profile", "0", false};
  auto dialog = Open();  // local: the host field is disabled, nothing is recalled
  dialog->Account().host->setEditText("known.test");
  dialog->RecallAccount();
  EXPECT_EQ(dialog->Account().user->text(), "me");  // the profile's, untouched
  dialog->FtpRadio()->setChecked(true);             // switching to FTP recalls
  EXPECT_EQ(dialog->Account().user->text(), "bob");
  EXPECT_EQ(dialog->Account().password->text(), "pw");
  EXPECT_EQ(dialog->Account().port->text(), "2121");
  EXPECT_EQ(dialog->RemotePathEdit()->text(), "/stored");
  EXPECT_TRUE(dialog->PassiveBox()->isChecked());
  EXPECT_FALSE(dialog->Account().anonymous->isChecked());

  dialog->Account().host->setEditText("mine.test");  // the profile's own host keeps its path
  dialog->RecallAccount();
  EXPECT_EQ(dialog->RemotePathEdit()->text(), "/from-profile");

  dialog->Account().host->setEditText("unknown.test");
  dialog->RecallAccount();
  EXPECT_TRUE(dialog->Account().anonymous->isChecked());
  EXPECT_EQ(dialog->Account().user->text(), "");
  EXPECT_EQ(dialog->Account().password->text(), "");
  EXPECT_EQ(dialog->Account().port->text(), "");
}

TEST_F(DestFixture, AnAccountFileThatCannotBeOpenedIsToldAndTheDialogGoesOn) {
  fs::create_directories(sandbox / "bin/ftpac.ini");  // a folder where the file should be
  auto dialog = Open();
  dialog->Account().host->setEditText("h.test");
  dialog->FtpRadio()->setChecked(true);
  ASSERT_EQ(world.prompts.messages.size(), 1u);
  EXPECT_EQ(world.prompts.messages[0],
            "Cannot open file " + (sandbox / "bin/ftpac.ini").string() + ", make sure you havn't opened it.");
  Ftp(*dialog, "h.test", "21", "u", "p");
  dialog->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(profile.ftpDest.host, "h.test");
}

TEST_F(DestFixture, PingAndTestLoginCheckTheirFieldsFirst) {
  auto dialog = Open();
  dialog->FtpRadio()->setChecked(true);
  dialog->Account().host->setEditText("");
  dialog->OnPing();
  dialog->Account().host->setEditText("h.test");
  dialog->Account().port->setText("21");
  dialog->Account().user->setText("");
  dialog->OnTestLogin();
  EXPECT_EQ(world.prompts.messages, (std::vector<std::string>{"Please enter hostname for this FTP account.",
                                                              "Please enter username for this FTP account."}));
  EXPECT_TRUE(HasFocus(*dialog, dialog->Account().user));
}

}  // namespace
}  // namespace tarnwick::ui::test
