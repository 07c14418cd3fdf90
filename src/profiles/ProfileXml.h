// Pieces of the profile file shared by the profile reader and the catalogue loader.
#pragma once

#include <string>

#include "app/Status.h"
#include "formats/XmlDocument.h"
#include "schedule/ScheduleRecord.h"

namespace tarnwick {

// Reads a whole profile file. When it cannot be read: IoError naming the file and the system's
// reason ("Cannot read ..."), and `text` empty.
Status ReadProfileText(const std::string& path, std::string& text);

// Reads the SCHEDULED element into `record`, which the caller has reset. The document's current
// element is CONFIG (entered); SCHEDULED is searched after CONFIG's current child. Values that the
// schedule pages could never produce keep the record's defaults.
void ReadSchedulePart(CXmlDocument& doc, ScheduleRecord& record);

}  // namespace tarnwick
