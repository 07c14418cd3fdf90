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

  // Reloads the catalogue from disk into both profile lists.
  void OnNewDocument();
  // Someone reloaded or changed the catalogue (the monitor, a delete, a rename): the lists follow.
  void CatalogueChanged();

 Q_SIGNALS:
  void catalogueChanged();

 private:
  CProfileCatalogue catalogue_;
  CActivityLog log_;
};

}  // namespace tarnwick::ui
