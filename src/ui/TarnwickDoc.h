// The document: the profile catalogue and the activity log the window shows. A new document loads
// the catalogue from disk; every change of the catalogue is announced to the view.
#pragma once

#include <QObject>

#include "app/Clock.h"
#include "app/UserPrompts.h"
#include "log/ActivityLog.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick::ui {

class CTarnwickDoc : public QObject {
  Q_OBJECT
 public:
  CTarnwickDoc(UserPrompts& prompts, const Clock& clock, QObject* parent = nullptr);

  CProfileCatalogue& Catalogue() { return catalogue_; }
  CActivityLog& Log() { return log_; }

  // Reloads the catalogue from disk into both profile lists. What could not be read (a profile
  // file, "profiles.ini") is left out and told when it is new since the last load: an ERROR row in
  // the log and catalogueUnreadable, each naming the file and the reason. LoadProblem() holds the
  // last load's text; empty when everything was read.
  void OnNewDocument();
  const QString& LoadProblem() const { return loadProblem_; }
  // Someone reloaded or changed the catalogue (the monitor, a delete, a rename): the lists follow.
  void CatalogueChanged();

 Q_SIGNALS:
  void catalogueChanged();
  void catalogueUnreadable(const QString& text);

 private:
  CProfileCatalogue catalogue_;
  CActivityLog log_;
  QString loadProblem_;
};

}  // namespace tarnwick::ui
