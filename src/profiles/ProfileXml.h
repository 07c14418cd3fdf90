// Pieces of the profile file shared by the profile reader and the catalogue loader.
#pragma once

#include <string>

#include "formats/XmlDocument.h"
#include "schedule/ScheduleRecord.h"

namespace tarnwick {

// Reads a whole profile file. False when it cannot be read; `error` then names the file and the
// system's reason.
bool ReadProfileText(const std::string& path, std::string& text, std::string* error);

// Reads the SCHEDULED element into `record`, which the caller has reset. The document's current
// element is CONFIG (entered); SCHEDULED is searched after CONFIG's current child. Values that the
// schedule pages could never produce keep the record's defaults.
void ReadSchedulePart(CXmlDocument& doc, ScheduleRecord& record);

}  // namespace tarnwick
