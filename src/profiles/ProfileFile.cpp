// The profile file: one XML document per profile. The reader searches children forward only, so
// it finds elements exactly in the order the writer puts them and skips whatever is missing.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "app/FormatTexts.h"
#include "app/Status.h"
#include "app/StringTable.h"
#include "formats/FileIo.h"
#include "formats/PartFile.h"
#include "profiles/Profile.h"
#include "profiles/ProfileXml.h"

namespace tarnwick {
namespace {

constexpr const char* kTypeQuick = "QUICKLANCH";
constexpr const char* kTypeScheduled = "SCHEDULED";
constexpr const char* kItemNames[] = {"LOCALFOLDER", "LOCALFILE", "FTPFOLDER", "FTPFILE"};

const char* ItemKindName(ItemKind kind) { return kItemNames[static_cast<int>(kind)]; }
bool IsFolder(ItemKind kind) { return kind == ItemKind::LocalFolder || kind == ItemKind::FtpFolder; }

// The stored start time of day is kept on this fixed date; only hour and minute count.
constexpr int kStartTimeYear = 1980, kStartTimeMonth = 2, kStartTimeDay = 6;

constexpr int kMinYear = 1900, kMaxYear = 9999;
constexpr int kMinutesPerDay = 24 * 60;

// The decimal reading of a stored number: optional blanks and sign, then digits; text that does
// not start a number gives no number. Saturates instead of overflowing.
bool ParseNumber(const std::string& text, std::int32_t& value) {
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return false;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = std::min<long long>(magnitude * 10 + (*p - '0'), 1LL << 32);
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  value = static_cast<std::int32_t>(std::clamp<long long>(signedValue, INT32_MIN, INT32_MAX));
  return true;
}

std::int32_t NumberOrZero(const std::string& text) {
  std::int32_t value = 0;
  ParseNumber(text, value);
  return value;
}

// Reading helpers over the document's current element.
class Reader {
 public:
  explicit Reader(CXmlDocument& doc) : doc_(doc) {}

  // The text of the next child `name`, or false when there is none further on.
  bool Text(const char* name, std::string& text) {
    if (!doc_.FindChildElement(name)) return false;
    text = doc_.GetChildText();
    return true;
  }
  std::string TextOrEmpty(const char* name) {
    std::string text;
    Text(name, text);
    return text;
  }
  // The next child `name` as a stored number: decimal, and 0 for text that is not a number.
  // False (value untouched) when there is no such child.
  bool Number(const char* name, std::int32_t& value) {
    std::string text;
    if (!Text(name, text)) return false;
    value = NumberOrZero(text);
    return true;
  }
  // The next child `name` as a number within [low, high]; false when missing, not a number or out
  // of range. For the parts of a date, which only make a date together.
  bool NumberIn(const char* name, int low, int high, std::int32_t& value) {
    std::string text;
    std::int32_t parsed = 0;
    if (!Text(name, text) || !ParseNumber(text, parsed) || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
  }
  // Steps into the next child `name`; pair with Leave.
  bool Enter(const char* name) { return doc_.FindChildElement(name) && doc_.EnterChild(); }
  void Leave() { doc_.LeaveElement(); }

  // A date of YEAR, MONTH, DAY (and HOUR, MINUTE when `withTime`) inside the current element;
  // false unless every part is there and in range.
  bool DateTime(bool withTime, std::time_t& when) {
    std::int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (!NumberIn("YEAR", kMinYear, kMaxYear, year) || !NumberIn("MONTH", 1, 12, month) ||
        !NumberIn("DAY", 1, 31, day)) {
      return false;
    }
    if (withTime && (!NumberIn("HOUR", 0, 23, hour) || !NumberIn("MINUTE", 0, 59, minute))) return false;
    when = MakeLocalTime(year, month, day, hour, minute, 0);
    return true;
  }
  // Enters child `name` and reads its date; true when the element is there at all.
  bool DateElement(const char* name, bool withTime, std::time_t& when, bool& complete) {
    complete = false;
    if (!Enter(name)) return false;
    complete = DateTime(withTime, when);
    Leave();
    return true;
  }

 private:
  CXmlDocument& doc_;
};

void ReadItems(CXmlDocument& doc, Reader& in, std::vector<SourceItem>& items, ItemKind folderKind, ItemKind fileKind) {
  while (doc.FindChildElement("SUBITEM")) {
    const std::string type = doc.GetChildAttribute("TYPE");
    SourceItem item;
    if (type == ItemKindName(fileKind)) {
      item.kind = fileKind;
    } else if (type == ItemKindName(folderKind)) {
      item.kind = folderKind;
    } else {
      continue;
    }
    doc.EnterChild();
    bool hasPath = false;
    if (item.kind == folderKind) {
      item.filter = in.TextOrEmpty("FILTER");
      item.recursive = in.TextOrEmpty("RECURSIVE") == "1";
      in.Text("FILEURL", item.path);
      hasPath = true;  // a folder item is kept even without its FILEURL
    } else {
      hasPath = in.Text("FILEURL", item.path);
    }
    doc.LeaveElement();
    if (hasPath) items.push_back(std::move(item));
  }
}

void ReadAccount(Reader& in, FtpSite& site) {
  in.Text("HOSTNAME", site.host);
  in.Text("PORT", site.port);
  in.Text("USERNAME", site.user);
  in.Text("PASSWORD", site.password);
}

// Last in its FTPITEM, in this order, where readers that do not know them never look.
void ReadSecurity(Reader& in, FtpSite& site) {
  site.tls = NumberOrZero(in.TextOrEmpty("TLS")) != 0;
  site.sftp = NumberOrZero(in.TextOrEmpty("SFTP")) != 0;
  if (site.sftp) in.Text("KEYFILE", site.keyFile);
}

// Reads the document whose root PROFILE is the current element.
void ReadDocument(CXmlDocument& doc, Profile& profile) {
  Reader in(doc);
  profile.isScheduled = doc.GetAttribute("TYPE") == kTypeScheduled;

  if (in.Enter("LOCALSRC")) {
    ReadItems(doc, in, profile.localSources, ItemKind::LocalFolder, ItemKind::LocalFile);
    in.Leave();
  }

  if (in.Enter("REMOTESRC")) {
    while (doc.FindChildElement("FTPITEM")) {
      FtpSource source;
      source.site.serverIsUnix = doc.GetChildAttribute("TYPE") != "WINDOWS";
      doc.EnterChild();
      ReadAccount(in, source.site);
      ReadItems(doc, in, source.items, ItemKind::FtpFolder, ItemKind::FtpFile);
      ReadSecurity(in, source.site);
      // After the security flags: a source without ACTIVE (every older file) is passive.
      source.site.passive = NumberOrZero(in.TextOrEmpty("ACTIVE")) != 0 ? "0" : "1";
      doc.LeaveElement();
      profile.remoteSources.push_back(std::move(source));
    }
    in.Leave();
  }

  if (doc.FindChildElement("DESTINATION")) {
    const std::string type = doc.GetChildAttribute("TYPE");
    doc.EnterChild();
    std::string url;
    if (type == "LOCALFOLDER") {
      in.Text("FILEURL", url);
      profile.localDestFolder = url;
      profile.destIsLocal = true;
      profile.hasDestination = !url.empty();
    } else if (type == "FTPFOLDER") {
      if (in.Enter("FTPITEM")) {
        ReadAccount(in, profile.ftpDest);
        in.Text("PASSIVE", profile.ftpDest.passive);
        ReadSecurity(in, profile.ftpDest);
        in.Leave();
      }
      in.Text("FILEURL", url);
      profile.ftpDest.remotePath = url;
      profile.destIsLocal = false;
      profile.hasDestination = !url.empty();
    }
    doc.LeaveElement();
  }

  if (in.Enter("CONFIG")) {
    if (doc.FindChildElement("COMPRESS")) {
      // A stored 0 ("Store") stays 0 and a level the editor does not offer stays as it is; only a
      // LEVEL that is not there (or empty) means Normal.
      const std::string level = doc.GetChildAttribute("LEVEL");
      if (!level.empty()) profile.zipLevel = NumberOrZero(level);
      doc.EnterChild();
      if (in.Text("FILEURL", profile.zipFileName)) profile.compress = true;
      doc.LeaveElement();
    }
    profile.useDateFolder = NumberOrZero(in.TextOrEmpty("DSTUSEDATE")) != 0;
    ReadSchedulePart(doc, profile.schedule);
    // Last in CONFIG, where readers that do not know it never look.
    profile.verifyAfterBackup = NumberOrZero(in.TextOrEmpty("VERIFY")) != 0;
    profile.verifyByReadingBack = NumberOrZero(in.TextOrEmpty("VERIFYREADBACK")) != 0;
    in.Leave();
  }
}

// Writing helpers: each adds a child of the current element after its current child.
class Writer {
 public:
  explicit Writer(CXmlDocument& doc) : doc_(doc) {}
  void Text(const char* name, const std::string& text) { doc_.AddChildElement(name, text); }
  void Number(const char* name, long long value) { doc_.AddChildElement(name, std::to_string(value)); }
  void Flag(const char* name, bool on) { doc_.AddChildElement(name, on ? "1" : "0"); }
  // Adds an element with children; pair with Leave.
  void Enter(const char* name) {
    doc_.AddChildElement(name);
    doc_.EnterChild();
  }
  // Adds an element that gets attributes and children; pair with Leave.
  void Enter(const char* name, std::initializer_list<std::pair<const char*, std::string>> attributes) {
    doc_.AddChildElement(name);
    for (const auto& [attribute, value] : attributes) doc_.AddChildAttribute(attribute, value);
    doc_.EnterChild();
  }
  void Leave() { doc_.LeaveElement(); }

  void Date(const char* name, std::time_t when, bool withTime) {
    const std::tm fields = LocalFields(when);
    Enter(name);
    Number("YEAR", fields.tm_year + 1900LL);
    Number("MONTH", fields.tm_mon + 1);
    Number("DAY", fields.tm_mday);
    if (withTime) {
      Number("HOUR", fields.tm_hour);
      Number("MINUTE", fields.tm_min);
    }
    Leave();
  }

 private:
  CXmlDocument& doc_;
};

void WriteItems(Writer& out, const std::vector<SourceItem>& items) {
  for (const SourceItem& item : items) {
    out.Enter("SUBITEM", {{"TYPE", ItemKindName(item.kind)}});
    if (IsFolder(item.kind)) {
      out.Text("FILTER", item.filter);
      out.Flag("RECURSIVE", item.recursive);
    }
    out.Text("FILEURL", item.path);
    out.Leave();
  }
}

void WriteAccount(Writer& out, const FtpSite& site) {
  out.Text("HOSTNAME", site.host);
  out.Text("PORT", site.port);
  out.Text("USERNAME", site.user);
  out.Text("PASSWORD", site.password);
}

// Last in its FTPITEM, and only what is on, so that older readers find nothing new.
void WriteSecurity(Writer& out, const FtpSite& site) {
  if (site.tls) out.Flag("TLS", true);
  if (!site.sftp) return;
  out.Flag("SFTP", true);
  if (!site.keyFile.empty()) out.Text("KEYFILE", site.keyFile);
}

void WriteSchedulePart(Writer& out, const ScheduleRecord& stored, std::time_t now) {
  ScheduleRecord record = stored;
  const std::time_t nextRun = ComputeNextRun(record, now);
  const bool once = record.type == kScheduleOnce;

  out.Enter("SCHEDULED", {{"TYPE", ScheduleTypeName(record.type)}, {"ENABLED", record.enabled ? "1" : "0"}});
  const std::tm start = LocalFields(record.startTime);
  out.Enter("GLOBALSTART");
  out.Number("HOUR", start.tm_hour);
  out.Number("MINUTE", start.tm_min);
  out.Leave();
  switch (record.type) {
    case kScheduleOnce: out.Date("ONCEDATE", record.onceDate, false); break;
    case kScheduleWeekly:
      out.Enter("WEEKLY");
      out.Number("INTERVAL", record.weeklyInterval);
      out.Number("RUNWEEKDAY", record.weekdays);
      out.Leave();
      break;
    case kScheduleMonthly:
      out.Enter("MONTHLY", {{"TYPE", record.monthlyByWeekday != 0 ? "1" : "0"}});
      if (record.monthlyByWeekday != 0) {
        out.Number("WEEKINMONTH", record.weekOfMonth);
        out.Number("DAYINWEEK", record.dayOfWeek);
      } else {
        out.Number("DAYINMONTH", record.dayOfMonth);
      }
      out.Number("RUNMONTH", record.months);
      out.Leave();
      break;
    default:  // ScheduleTypeName writes every other value as Daily
      out.Enter("DAILY");
      out.Number("INTERVAL", record.dailyInterval);
      out.Leave();
      break;
  }
  if (record.enabled) {
    out.Enter("ADVANCED", {{"REPEAT", record.repeat != 0 ? "1" : "0"}, {"LASTRUN", FormatMinuteKey(now)}});
  } else {
    out.Enter("ADVANCED", {{"REPEAT", record.repeat != 0 ? "1" : "0"}});
  }
  if (record.hasStartDate && !once) out.Date("STARTDATE", record.startDate, false);
  if (record.hasEndDate && !once) out.Date("ENDDATE", record.endDate, false);
  if (record.nextRunValid) out.Date("NEXTRUN", nextRun, true);
  if (record.repeat != 0) {
    out.Number("INTERVAL", record.repeatInterval);
    out.Number("INTERVALTYPE", record.repeatUnit);
    out.Number("DURATION", record.repeatDuration);
  }
  out.Leave();  // ADVANCED
  out.Leave();  // SCHEDULED
}

std::string ProfileText(const Profile& profile, std::time_t now) {
  CXmlDocument doc;
  doc.LoadText();
  doc.AddElement("PROFILE");
  doc.AddAttribute("TYPE", profile.isScheduled ? kTypeScheduled : kTypeQuick);
  Writer out(doc);
  out.Text("NAME", profile.name);

  if (!profile.localSources.empty()) {
    out.Enter("LOCALSRC");
    WriteItems(out, profile.localSources);
    out.Leave();
  }
  if (!profile.remoteSources.empty()) {
    out.Enter("REMOTESRC");
    for (const FtpSource& source : profile.remoteSources) {
      out.Enter("FTPITEM", {{"TYPE", source.site.serverIsUnix ? "UNIX" : "WINDOWS"}});
      WriteAccount(out, source.site);
      WriteItems(out, source.items);
      WriteSecurity(out, source.site);
      // Only active mode is written, so a passive source is written as older files were.
      if (source.site.passive != "1") out.Flag("ACTIVE", true);
      out.Leave();
    }
    out.Leave();
  }

  out.Enter("DESTINATION", {{"TYPE", profile.destIsLocal ? "LOCALFOLDER" : "FTPFOLDER"}});
  if (profile.destIsLocal) {
    out.Text("FILEURL", profile.localDestFolder);
  } else {
    out.Enter("FTPITEM");
    WriteAccount(out, profile.ftpDest);
    out.Text("PASSIVE", profile.ftpDest.passive);
    WriteSecurity(out, profile.ftpDest);
    out.Leave();
    out.Text("FILEURL", profile.ftpDest.remotePath);
  }
  out.Leave();

  out.Enter("CONFIG");
  if (profile.compress) {
    out.Enter("COMPRESS", {{"LEVEL", std::to_string(profile.zipLevel)}});
    out.Text("FILEURL", profile.zipFileName);
    out.Leave();
  }
  out.Flag("DSTUSEDATE", profile.useDateFolder);
  if (profile.isScheduled) WriteSchedulePart(out, profile.schedule, now);
  if (profile.verifyAfterBackup) out.Flag("VERIFY", true);
  if (profile.verifyByReadingBack) out.Flag("VERIFYREADBACK", true);
  out.Leave();
  return doc.GetText();
}

// The file's failure in the words of the string-table text `textId` ("Cannot read ..." or
// "Cannot write ..."), which name the file and the system's reason.
Status FileError(unsigned textId, const std::string& path, const IoResult& error) {
  return Status::IoError(path, error.sysError, FormatString(textId, path.c_str(), IoResultText(error).c_str()));
}

}  // namespace

Status ReadProfileText(const std::string& path, std::string& text) {
  text.clear();
  const IoResult failure = ReadWholeFile(path, kProfileFileLimit, text);
  if (failure.ok()) return {};
  text.clear();
  return FileError(IDS_CANNOT_READ_FILE, path, failure);
}

void ReadSchedulePart(CXmlDocument& doc, ScheduleRecord& record) {
  Reader in(doc);
  if (!doc.FindChildElement("SCHEDULED")) return;
  record.type = ScheduleTypeFromName(doc.GetChildAttribute("TYPE"));
  record.enabled = doc.GetChildAttribute("ENABLED") == "1";
  doc.EnterChild();

  if (in.Enter("GLOBALSTART")) {
    const std::tm fields = LocalFields(record.startTime);
    std::int32_t hour = fields.tm_hour, minute = fields.tm_min;
    in.Number("HOUR", hour);
    in.Number("MINUTE", minute);
    // A time past 23:59 (or before 0:00) goes round the clock, as a clock shows it: 25:00 is 1:00.
    const std::int64_t minutes = (std::int64_t{hour} * 60 + minute) % kMinutesPerDay;
    const int ofDay = static_cast<int>(minutes < 0 ? minutes + kMinutesPerDay : minutes);
    record.startTime = MakeLocalTime(kStartTimeYear, kStartTimeMonth, kStartTimeDay, ofDay / 60, ofDay % 60, 0);
    in.Leave();
  }

  bool complete = false;
  switch (record.type) {
    case kScheduleOnce: in.DateElement("ONCEDATE", false, record.onceDate, complete); break;
    case kScheduleDaily:
      if (in.Enter("DAILY")) {
        in.Number("INTERVAL", record.dailyInterval);
        in.Leave();
      }
      break;
    case kScheduleWeekly:
      if (in.Enter("WEEKLY")) {
        in.Number("INTERVAL", record.weeklyInterval);
        in.Number("RUNWEEKDAY", record.weekdays);
        in.Leave();
      }
      break;
    case kScheduleMonthly:
      if (doc.FindChildElement("MONTHLY")) {
        record.monthlyByWeekday = NumberOrZero(doc.GetChildAttribute("TYPE")) != 0 ? 1 : 0;
        doc.EnterChild();
        if (record.monthlyByWeekday) {
          in.Number("WEEKINMONTH", record.weekOfMonth);
          in.Number("DAYINWEEK", record.dayOfWeek);
        } else {
          in.Number("DAYINMONTH", record.dayOfMonth);
        }
        in.Number("RUNMONTH", record.months);
        doc.LeaveElement();
      }
      break;
  }

  if (doc.FindChildElement("ADVANCED")) {
    record.repeat = NumberOrZero(doc.GetChildAttribute("REPEAT")) != 0 ? 1 : 0;
    record.lastRunStamp = doc.GetChildAttribute("LASTRUN");
    doc.EnterChild();
    if (in.DateElement("STARTDATE", false, record.startDate, complete)) record.hasStartDate = 1;
    if (in.DateElement("ENDDATE", false, record.endDate, complete)) record.hasEndDate = 1;
    std::time_t nextRun = 0;
    if (in.DateElement("NEXTRUN", true, nextRun, complete) && complete) {
      record.nextRun = nextRun;
      record.nextRunValid = 1;
    } else {
      record.nextRunValid = 0;
    }
    if (record.repeat) {
      // Kept as stored: a step the computation cannot use (0, say) repeats nothing there.
      in.Number("INTERVAL", record.repeatInterval);
      in.Number("INTERVALTYPE", record.repeatUnit);
      in.Number("DURATION", record.repeatDuration);
    }
    doc.LeaveElement();
  } else {
    record.nextRunValid = 0;
  }
  doc.LeaveElement();
}

Status ReadProfile(const std::string& path, Profile& profile, std::time_t now) {
  std::string text;
  if (Status read = ReadProfileText(path, text); !read.ok()) return read;
  CXmlDocument doc;
  // Defaults in place of a file that is not a profile would run (or be rewritten as) a profile
  // nobody made.
  if (!doc.LoadText(text) || !doc.FindElement("PROFILE")) {
    std::string reason = XmlErrorText(doc.LastError());
    if (doc.HasRoot() || reason.empty()) reason = LoadString(IDS_NO_PROFILE_ELEMENT);
    return Status::Corrupt(path, FormatString(IDS_NOT_A_PROFILE, reason.c_str()));
  }
  Profile read;
  ResetSchedule(read.schedule, now);
  read.filePath = path;
  read.schedule.profilePath = path;
  // The name is the file name without its extension, whatever the NAME element says.
  read.name = std::filesystem::path(path).stem().string();
  ReadDocument(doc, read);
  read.hasSources = !read.localSources.empty() || !read.remoteSources.empty();
  profile = std::move(read);
  return {};
}

Status WriteProfile(const Profile& profile, std::time_t now) {
  // Owner-only: the file holds FTP passwords in plain text.
  const IoResult failure = ReplaceFile(profile.filePath, ProfileText(profile, now), S_IRUSR | S_IWUSR);
  if (failure.ok()) return {};
  return FileError(IDS_CANNOT_WRITE_FILE, profile.filePath, failure);
}

}  // namespace tarnwick
