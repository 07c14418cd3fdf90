#include "ui/FileInfoDlg.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/EditorTexts.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

QString TimeText(const QDateTime& time) {
  return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd, HH:mm:ss")) : QString();
}

}  // namespace

CFileInfoDlg::CFileInfoDlg(const std::string& path, QWidget* parent) : QDialog(parent) {
  setWindowTitle(UiString(IDS_FILE_INFO_CAPTION));
  static constexpr unsigned kLabels[kFieldCount] = {IDS_FILE_INFO_NAME,     IDS_FILE_INFO_LOCATION,
                                                    IDS_FILE_INFO_SIZE,     IDS_FILE_INFO_CREATED,
                                                    IDS_FILE_INFO_MODIFIED, IDS_FILE_INFO_ACCESSED};
  static constexpr unsigned kAttributes[kAttributeCount] = {IDS_FILE_INFO_READ_ONLY, IDS_FILE_INFO_HIDDEN,
                                                            IDS_FILE_INFO_ARCHIVE};
  auto* form = new QFormLayout;
  for (int i = 0; i < kFieldCount; ++i) {
    fields_[i] = new QLineEdit(this);
    fields_[i]->setReadOnly(true);
    form->addRow(UiString(kLabels[i]), fields_[i]);
  }
  auto* attributeRow = new QHBoxLayout;
  for (int i = 0; i < kAttributeCount; ++i) {
    attributes_[i] = new QCheckBox(UiString(kAttributes[i]), this);
    // They tell; they do not change the file.
    attributes_[i]->setEnabled(false);
    attributeRow->addWidget(attributes_[i]);
  }
  attributeRow->addStretch(1);
  form->addRow(UiString(IDS_FILE_INFO_ATTRIBUTES), attributeRow);

  const QString text = QString::fromStdString(path);
  const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
  fields_[kName]->setText(text.mid(slash + 1));
  fields_[kLocation]->setText(slash > 0 ? text.left(slash) : text.left(slash + 1));
  const QFileInfo info(text);
  if (info.exists()) {
    fields_[kSize]->setText(FileSizeText(static_cast<std::uint64_t>(info.size())));
    // Where the file system keeps no birth time, the last change of the file's entry stands in.
    const QDateTime born = info.birthTime();
    fields_[kCreated]->setText(TimeText(born.isValid() ? born : info.metadataChangeTime()));
    fields_[kModified]->setText(TimeText(info.lastModified()));
    fields_[kAccessed]->setText(TimeText(info.lastRead()));
    attributes_[kReadOnly]->setChecked(!info.permission(QFile::WriteOwner));
    attributes_[kArchive]->setChecked(true);
  }

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_OK_AMP), QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

}  // namespace tarnwick::ui
