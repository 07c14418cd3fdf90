// "About Tarnwick": the version, a link to the program's web page and one to write to its support.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QPushButton;

namespace tarnwick::ui {

// The addresses this build was configured with (empty when none was given).
QString WebAddress();
QString SupportMailAddress();
// The mail link: a new message to the support address (without one when none is configured).
QUrl SupportMailUrl();

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  // `openWeb` is what the web link does (the same as Help > Tarnwick on the Web...).
  CAboutDlg(std::function<void()> openWeb, QWidget* parent = nullptr);

  QPushButton* WebButton() const { return web_; }
  QPushButton* MailButton() const { return mail_; }

 private:
  QPushButton* web_;
  QPushButton* mail_;
};

}  // namespace tarnwick::ui
