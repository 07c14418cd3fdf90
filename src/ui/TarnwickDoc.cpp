#include "ui/TarnwickDoc.h"

#include "ui/UiStrings.h"

namespace tarnwick::ui {

CTarnwickDoc::CTarnwickDoc(UserPrompts& prompts, const Clock& clock, QObject* parent)
    : QObject(parent), catalogue_(prompts, clock), log_(clock) {}

void CTarnwickDoc::OnNewDocument() {
  const Status loaded = catalogue_.LoadCatalogue();
  // One line for the status bar and the row; every reload (a file changed in the folder) would
  // otherwise repeat the same words.
  const QString problem =
      loaded.ok() ? QString()
                  : UiString(IDS_PROFILES_LEFT_OUT).arg(QString::fromStdString(loaded.ToString()).replace('\n', ' '));
  const bool told = problem == loadProblem_;
  loadProblem_ = problem;
  if (!problem.isEmpty() && !told) log_.LogActionText(LOG_ERROR, problem.toStdString());
  Q_EMIT catalogueChanged();
  if (!problem.isEmpty() && !told) Q_EMIT catalogueUnreadable(problem);
}

void CTarnwickDoc::CatalogueChanged() { Q_EMIT catalogueChanged(); }

}  // namespace tarnwick::ui
