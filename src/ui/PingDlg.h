// "Pinging Host...": four echo requests to a host on the ping worker's thread, one list row per
// line as it arrives. While the run lasts, OK is disabled and Esc and the close box do nothing.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

class QListWidget;
class QPushButton;

namespace tarnwick {
class CPingThread;
class PingObserver;
}  // namespace tarnwick

namespace tarnwick::ui {

class CPingDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kRequestCount = 4;

  // Starts the run at once.
  explicit CPingDlg(const std::string& host, QWidget* parent = nullptr);
  // Ends the worker thread; a run still going is finished first.
  ~CPingDlg() override;

  bool Finished() const { return finished_; }
  QListWidget* Lines() const { return lines_; }
  QPushButton* OkButton() const { return ok_; }

  // The worker's reports, on the window's thread: one more line, and the end of the run.
  void AddLine(int kind, const QString& text);
  void OnDone();

  // Ignored while the run lasts.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QListWidget* lines_;
  QPushButton* ok_;
  bool finished_ = false;
  std::unique_ptr<PingObserver> observer_;
  std::unique_ptr<CPingThread> thread_;  // after the observer: it goes first
};

}  // namespace tarnwick::ui
