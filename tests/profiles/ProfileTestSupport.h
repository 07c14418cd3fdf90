// Shared pieces of the profile tests: a fixed moment, sample profiles and a field-by-field check.
#pragma once

#include <gtest/gtest.h>

#include <tuple>

#include "profiles/Profile.h"

namespace tarnwick::test {

// Tuesday 5 March 2024, 09:30:15 local time.
inline std::time_t TestNow() { return MakeLocalTime(2024, 3, 5, 9, 30, 15); }

// A quick profile with every kind of source, an FTP destination and compression.
inline Profile SampleQuickProfile(const std::string& name = "Docs") {
  Profile p;
  ResetSchedule(p.schedule, TestNow());
  p.name = name;
  p.localSources = {{"/home/u/docs", "+[*.txt]-[~*]", ItemKind::LocalFolder, true},
                    {"/home/u/a<b>.txt", "", ItemKind::LocalFile, false}};
  FtpSource source;
  source.site = {"ftp.example.org", "21", "anna", "pw\"1", "", "1", false};  // passive, as a source reads back
  source.items = {{"/pub/x.bin", "", ItemKind::FtpFile, false}};
  p.remoteSources = {source};
  p.destIsLocal = false;
  p.ftpDest = {"backup.example.org", "2121", "bob", "secret", "/store", "1", false};
  p.compress = true;
  p.zipLevel = 0;
  p.zipFileName = "docs.zip";
  p.useDateFolder = true;
  p.hasSources = p.hasDestination = true;
  return p;
}

// What a written profile reads back as: the schedule gets the writer's LASTRUN and NEXTRUN.
inline Profile AsReadBack(Profile p, std::time_t now) {
  ScheduleRecord& s = p.schedule;
  s.profilePath = p.filePath;
  p.anonymousLogin = false;
  if (!p.isScheduled) return p;
  s.lastRunStamp = s.enabled ? FormatMinuteKey(now) : "";
  ScheduleRecord computed = s;
  const std::time_t next = ComputeNextRun(computed, now);
  s.nextRunValid = computed.nextRunValid;
  if (s.nextRunValid) s.nextRun = next;
  return p;
}

// Every field, so that a whole record compares in one expectation (gtest prints both tuples).
inline auto Fields(const ScheduleRecord& s) {
  return std::tie(s.nextRunValid, s.type, s.startTime, s.dailyInterval, s.weeklyInterval, s.weekdays,
                  s.monthlyByWeekday, s.dayOfMonth, s.weekOfMonth, s.dayOfWeek, s.months, s.onceDate, s.startDate,
                  s.endDate, s.hasEndDate, s.hasStartDate, s.repeat, s.repeatInterval, s.repeatUnit, s.repeatDuration,
                  s.lastRunStamp, s.enabled, s.profilePath, s.nextRun);
}

inline void ExpectSameProfile(const Profile& a, const Profile& b) {
  auto fields = [](const Profile& p) {
    return std::tie(p.name, p.filePath, p.isScheduled, p.destIsLocal, p.localDestFolder, p.compress, p.zipLevel,
                    p.zipFileName, p.useDateFolder, p.verifyAfterBackup, p.verifyByReadingBack, p.hasSources,
                    p.hasDestination, p.anonymousLogin);
  };
  EXPECT_EQ(fields(a), fields(b));
  EXPECT_EQ(a.localSources, b.localSources);
  EXPECT_EQ(a.remoteSources, b.remoteSources);
  EXPECT_EQ(a.ftpDest, b.ftpDest);
  EXPECT_EQ(Fields(a.schedule), Fields(b.schedule));
}

}  // namespace tarnwick::test
