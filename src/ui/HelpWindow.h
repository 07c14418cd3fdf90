// The built-in help window: the HTML manual of the help/ folder with Contents, Back and Forward.
#pragma once

#include <QDir>
#include <QWidget>

class QTextBrowser;
class QAction;

namespace tarnwick::ui {

inline constexpr const char* kHelpStartPage = "index.htm";
inline constexpr const char* kHelpBasicSettings = "Started/basicset.htm";

// Where the manual is: help/ beside the program, else the installed share folder. Empty when
// neither holds the start page.
QString HelpFolder();

class CHelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit CHelpWindow(QWidget* parent = nullptr);

  // Shows the page `topic` (relative to the manual's folder) and brings the window up. False (and
  // nothing shown) when the page does not exist. Asked while a modal dialog is open (the editor's
  // Help button), the window becomes one of that dialog's windows, which the dialog does not block,
  // and a window of its own again, still open, when the dialog goes.
  bool ShowTopic(const QString& topic);
  QTextBrowser* Browser() const { return browser_; }
  QAction* ContentsAction() const { return contents_; }
  QAction* BackAction() const { return back_; }
  QAction* ForwardAction() const { return forward_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowModalDialog();
  void LeaveModalDialog();

  QWidget* modal_ = nullptr;  // the dialog this window belongs to for now
  QMetaObject::Connection modalGone_;
  QTextBrowser* browser_;
  QAction* contents_;
  QAction* back_;
  QAction* forward_;
};

}  // namespace tarnwick::ui
