// "Login Test" and "Pinging Host...": the workers' lines as they arrive on the window's thread, the
// OK rules, and a dialog that goes before its worker is done.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "support/FtpTestServer.h"
#include "ui/BackupDestDlg.h"
#include "ui/HistoryComboBox.h"
#include "ui/LoginTestDlg.h"
#include "ui/PingDlg.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::FtpTestServer;
using tarnwick::test::SilentListener;

std::vector<std::string> Lines(QListWidget* list) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list->count()));
  for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
  return lines;
}

struct LoginCase {
  const char* name;
  bool rightPassword;
  bool anonymous;
  const char* folder;
  std::vector<std::string> tail;  // the lines after the connecting line
};

void PrintTo(const LoginCase& c, std::ostream* os) { *os << c.name; }

class LoginTestLinesShown : public ::testing::TestWithParam<LoginCase> {};

TEST_P(LoginTestLinesShown, InTheOrderTheWorkerSentThem) {
  const LoginCase& c = GetParam();
  FtpTestServer server;
  fs::create_directories(server.root() / "pub");
  RecordingPrompts prompts;
  LoginTestRequest request;
  request.host = server.host();
  request.port = server.port();
  if (!c.anonymous) {
    request.user = server.user();
    request.password = c.rightPassword ? server.password() : "wrong";
  }
  request.remoteFolder = c.folder;
  request.passive = true;
  CLoginTestDlg dialog(request, prompts, kTestTimeouts);
  const std::size_t expected = c.tail.size() + 1;
  ASSERT_TRUE(WaitFor([&] { return static_cast<std::size_t>(dialog.Lines()->count()) >= expected; })) << server.Log();
  QTest::qWait(50);  // nothing more comes
  std::vector<std::string> lines = {"Connecting 127.0.0.1:" + std::to_string(server.port()) + "."};
  lines.insert(lines.end(), c.tail.begin(), c.tail.end());
  EXPECT_EQ(Lines(dialog.Lines()), lines);
  EXPECT_TRUE(prompts.messages.empty());
  for (const std::string& line : Lines(dialog.Lines())) EXPECT_EQ(line.find(server.password()), std::string::npos);
  const auto start = std::chrono::steady_clock::now();
  dialog.accept();  // the worker has ended: no wait
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginTestLinesShown,
    ::testing::Values(
        LoginCase{"success",
                  true,
                  false,
                  "/pub",
                  {"Socket connected.", "USER backup", "Current directory is /pub.", "Login test successfully."}},
        LoginCase{"noFolder", true, false, "", {"Socket connected.", "USER backup", "Login test successfully."}},
        LoginCase{"refused",
                  false,
                  false,
                  "/pub",
                  {"Socket connected.", "USER backup", "Unable to login to host 127.0.0.1.",
                   "Reason: Access denied: 530 (530 Authentication failed.)"}},
        LoginCase{"anonymousMissingFolder",
                  false,
                  true,
                  "/nope",
                  {"Socket connected.", "USER anonymous", "Cannot set remote directory to /nope.",
                   "Login test successfully."}}),
    CaseName());

TEST(LoginTestDlg, OkWaitsHalfASecondAndLateStepsOfAClosedDialogAreDropped) {
  SilentListener silent;
  RecordingPrompts prompts;
  LoginTestRequest request{"127.0.0.1", "u", "p", "", true, silent.port()};
  const auto start = std::chrono::steady_clock::now();
  {
    CLoginTestDlg dialog(request, prompts,
                         FtpTimeouts{std::chrono::milliseconds(60000), std::chrono::milliseconds(60000)});
    // Connecting only: a server that never answered was not connected to.
    ASSERT_TRUE(WaitFor([&] { return dialog.Lines()->count() >= 1; }));
    const auto pressed = std::chrono::steady_clock::now();
    dialog.accept();
    const auto waited = std::chrono::steady_clock::now() - pressed;
    EXPECT_GE(waited, std::chrono::milliseconds(450));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  // The worker was ended with the dialog; what it still had to say goes nowhere.
  QTest::qWait(100);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST(LoginTestDlg, DestinationDialogPassesTheFieldsAndAnonymousAsNoUser) {
  Sandbox sandbox;
  EditorWorld world;
  FtpTestServer server;
  Profile profile;
  DestinationChoices choices;
  CBackupDestDlg dest(profile, choices, world.services);
  dest.FtpRadio()->setChecked(true);
  dest.Account().host->setEditText(QString::fromStdString(server.host()));
  dest.Account().port->setText("0" + QString::number(server.port()));  // leading zeros count for nothing
  dest.Account().user->setText("typed");
  dest.Account().anonymous->setChecked(true);
  dest.Account().tls->setChecked(false);  // the test server speaks plain FTP
  std::vector<std::string> lines;
  WhenModal<CLoginTestDlg>([&lines](CLoginTestDlg& test) {
    WaitFor([&] { return test.Lines()->count() >= 4; });
    lines = Lines(test.Lines());
    test.accept();
  });
  dest.OnTestLogin();
  EXPECT_EQ(lines, (std::vector<std::string>{"Connecting 127.0.0.1:" + std::to_string(server.port()) + ".",
                                             "Socket connected.", "USER anonymous", "Login test successfully."}));
}

bool NoSocket(const std::vector<std::string>& lines) {
  return !lines.empty() && lines[0].rfind("socket() - WSAError: ", 0) == 0;
}

TEST(PingDlg, LoopbackListsItsRepliesAndOnlyThenMayClose) {
  CPingDlg dialog("127.0.0.1");
  dialog.show();
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  dialog.reject();  // Esc while the run lasts
  QCloseEvent close;
  QCoreApplication::sendEvent(&dialog, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitFor([&] { return dialog.Finished(); }, 15000));
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  const std::vector<std::string> lines = Lines(dialog.Lines());
  if (NoSocket(lines)) GTEST_SKIP() << "this user may open no ICMP socket: " << lines[0];
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Pinging 127.0.0.1 [127.0.0.1] with 32 bytes of data:");
  for (int i = 1; i <= 4; ++i) {
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^Reply\[%1\] from: 127\.0\.0\.1: bytes=32 time=\d+ms TTL=\d+$)").arg(i))
            .match(QString::fromStdString(lines[static_cast<std::size_t>(i)]))
            .hasMatch())
        << lines[static_cast<std::size_t>(i)];
    EXPECT_FALSE(dialog.Lines()->item(i)->icon().isNull());
  }
  dialog.OkButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(PingDlg, AnUnknownHostIsToldAndOkComesBack) {
  CPingDlg dialog("tarnwick-test.invalid");
  ASSERT_TRUE(WaitFor([&] { return dialog.Finished(); }, 15000));
  const std::vector<std::string> lines = Lines(dialog.Lines());
  if (NoSocket(lines)) GTEST_SKIP() << "this user may open no ICMP socket: " << lines[0];
  EXPECT_EQ(lines, std::vector<std::string>{"Host not found: tarnwick-test.invalid"});
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  dialog.reject();  // Esc now closes
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(PingDlg, PingHostOpensTheDialogForTheHostField) {
  Sandbox sandbox;
  EditorWorld world;
  Profile profile;
  DestinationChoices choices;
  CBackupDestDlg dest(profile, choices, world.services);
  dest.FtpRadio()->setChecked(true);
  dest.Account().host->setEditText("tarnwick-test.invalid");
  std::vector<std::string> lines;
  WhenModal<CPingDlg>([&lines](CPingDlg& ping) {
    WaitFor([&] { return ping.Finished(); }, 15000);
    lines = Lines(ping.Lines());
    ping.accept();
  });
  dest.OnPing();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0] == "Host not found: tarnwick-test.invalid" || NoSocket(lines)) << lines[0];
}

}  // namespace
}  // namespace tarnwick::ui::test
