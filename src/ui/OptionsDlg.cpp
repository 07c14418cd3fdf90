#include "ui/OptionsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cerrno>

#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "app/StringTable.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

COptionsDlg::COptionsDlg(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      showSplash_(new QCheckBox(UiString(IDS_OPTIONS_SHOW_SPLASH))),
      runMissed_(new QCheckBox(UiString(IDS_OPTIONS_RUN_MISSED))),
      keepInTray_(new QCheckBox(UiString(IDS_OPTIONS_KEEP_IN_TRAY))) {
  setWindowTitle(UiString(IDS_OPTIONS_CAPTION));
  ProgramSettings settings;
  // A file that is there but cannot be read would be replaced by the defaults shown here on OK.
  if (const Status read = settings.ReadSettings(SettingsFilePath().string()); !read.ok() && read.sysError() != ENOENT) {
    prompts_.ShowMessage(read.ToString());
  }
  showSplash_->setChecked(settings.showSplash());
  runMissed_->setChecked(settings.runMissed());
  keepInTray_->setChecked(settings.keepInTray());

  auto* page = new QWidget;
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->addWidget(showSplash_);
  pageLayout->addWidget(runMissed_);
  pageLayout->addWidget(keepInTray_);
  pageLayout->addStretch(1);
  auto* tabs = new QTabWidget(this);
  tabs->addTab(page, QString::fromUtf8(LoadString(IDS_TAB_GENERAL)));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addWidget(buttons);
  setMinimumSize(320, 200);
}

void COptionsDlg::accept() {
  ProgramSettings settings;
  settings.setShowSplash(showSplash_->isChecked());
  settings.setRunMissed(runMissed_->isChecked());
  settings.setKeepInTray(keepInTray_->isChecked());
  const std::string path = SettingsFilePath().string();
  if (const Status written = settings.WriteSettings(path); !written.ok()) {
    prompts_.ShowMessage(UiString(IDS_OPTIONS_WRITE_FAILED)
                             .arg(QString::fromStdString(path), QString::fromStdString(written.message()))
                             .toStdString());
  }
  QDialog::accept();
}

}  // namespace tarnwick::ui
