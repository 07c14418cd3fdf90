#include "ui/TarnwickDoc.h"

namespace tarnwick::ui {

CTarnwickDoc::CTarnwickDoc(UserPrompts& prompts, const Clock& clock, QObject* parent)
    : QObject(parent), catalogue_(prompts, clock), log_(clock) {}

void CTarnwickDoc::OnNewDocument() {
  (void)catalogue_.LoadCatalogue();
  Q_EMIT catalogueChanged();
}

void CTarnwickDoc::CatalogueChanged() { Q_EMIT catalogueChanged(); }

}  // namespace tarnwick::ui
