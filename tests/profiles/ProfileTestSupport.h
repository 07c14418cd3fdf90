// Shared pieces of the profile tests: a fixed moment, sample profiles and a field-by-field check.
#pragma once

#include <gtest/gtest.h>

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
  source.site = {"ftp.example.org", "21", "anna", "pw\"1", "", "", false};
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

inline void ExpectSameSchedule(const ScheduleRecord& a, const ScheduleRecord& b) {
  EXPECT_EQ(a.nextRunValid, b.nextRunValid);
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.startTime, b.startTime);
  EXPECT_EQ(a.dailyInterval, b.dailyInterval);
  EXPECT_EQ(a.weeklyInterval, b.weeklyInterval);
  EXPECT_EQ(a.weekdays, b.weekdays);
  EXPECT_EQ(a.monthlyByWeekday, b.monthlyByWeekday);
  EXPECT_EQ(a.dayOfMonth, b.dayOfMonth);
  EXPECT_EQ(a.weekOfMonth, b.weekOfMonth);
  EXPECT_EQ(a.dayOfWeek, b.dayOfWeek);
  EXPECT_EQ(a.months, b.months);
  EXPECT_EQ(a.onceDate, b.onceDate);
  EXPECT_EQ(a.startDate, b.startDate);
  EXPECT_EQ(a.endDate, b.endDate);
  EXPECT_EQ(a.hasEndDate, b.hasEndDate);
  EXPECT_EQ(a.hasStartDate, b.hasStartDate);
  EXPECT_EQ(a.repeat, b.repeat);
  EXPECT_EQ(a.repeatInterval, b.repeatInterval);
  EXPECT_EQ(a.repeatUnit, b.repeatUnit);
  EXPECT_EQ(a.repeatDuration, b.repeatDuration);
  EXPECT_EQ(a.lastRunStamp, b.lastRunStamp);
  EXPECT_EQ(a.enabled, b.enabled);
  EXPECT_EQ(a.profilePath, b.profilePath);
  EXPECT_EQ(a.nextRun, b.nextRun);
}

inline void ExpectSameProfile(const Profile& a, const Profile& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.filePath, b.filePath);
  EXPECT_EQ(a.isScheduled, b.isScheduled);
  EXPECT_EQ(a.localSources, b.localSources);
  EXPECT_EQ(a.remoteSources, b.remoteSources);
  EXPECT_EQ(a.destIsLocal, b.destIsLocal);
  EXPECT_EQ(a.localDestFolder, b.localDestFolder);
  EXPECT_EQ(a.ftpDest, b.ftpDest);
  EXPECT_EQ(a.compress, b.compress);
  EXPECT_EQ(a.zipLevel, b.zipLevel);
  EXPECT_EQ(a.zipFileName, b.zipFileName);
  EXPECT_EQ(a.useDateFolder, b.useDateFolder);
  EXPECT_EQ(a.hasSources, b.hasSources);
  EXPECT_EQ(a.hasDestination, b.hasDestination);
  EXPECT_EQ(a.anonymousLogin, b.anonymousLogin);
  ExpectSameSchedule(a.schedule, b.schedule);
}

}  // namespace tarnwick::test
