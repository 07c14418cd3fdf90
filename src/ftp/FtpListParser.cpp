#include "ftp/FtpListParser.h"

#include <array>
#include <cctype>

namespace tarnwick {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int ToInt(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

// A calendar time with plausible fields to seconds since the epoch.
bool MakeTime(int year, int month, int day, int hour, int minute, int second, bool utc, std::time_t& out) {
  if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
      second > 60) {
    return false;
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  out = utc ? timegm(&tm) : std::mktime(&tm);
  return out != static_cast<std::time_t>(-1) || (utc && year == 1969);
}

// Splits a line into blank-separated words, remembering where each starts and ends.
struct Word {
  size_t begin;
  size_t end;
};

std::vector<Word> SplitWords(std::string_view line, size_t maxWords) {
  std::vector<Word> words;
  size_t i = 0;
  while (i < line.size() && words.size() < maxWords) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    const size_t begin = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    words.push_back({begin, i});
  }
  return words;
}

std::string_view RestAfter(std::string_view line, size_t pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  return line.substr(pos);
}

FtpLineKind Unparsed(std::string_view line, FtpFileInfo& info) {
  info = FtpFileInfo{};
  info.name = std::string(line);
  info.unparsed = true;
  return FtpLineKind::Unparsed;
}

FtpLineKind Named(std::string_view name, FtpFileInfo& info) {
  if (IsDotName(name)) return FtpLineKind::Skip;
  info.name = std::string(name);
  return FtpLineKind::Entry;
}

// ---- UNIX "ls -l" ----

bool IsPermissions(std::string_view word) {
  if (word.size() < 10) return false;
  if (std::string_view("-dlbcpsD").find(word[0]) == std::string_view::npos) return false;
  for (size_t i = 1; i < 10; ++i) {
    if (std::string_view("rwxsStTlL-").find(word[i]) == std::string_view::npos) return false;
  }
  return true;
}

int MonthNumber(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (EqualsNoCase(word, kMonths[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

bool IsClock(std::string_view word, int& hour, int& minute) {
  const size_t colon = word.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || word.size() != colon + 3) return false;
  if (!AllDigits(word.substr(0, colon)) || !AllDigits(word.substr(colon + 1))) return false;
  hour = ToInt(word.substr(0, colon));
  minute = ToInt(word.substr(colon + 1));
  return hour < 24 && minute < 60;
}

FtpLineKind ParseUnixLine(std::string_view line, std::time_t now, FtpFileInfo& info) {
  // perms links owner [group] size month day time-or-year name: the date is found by its month
  // word, so lines without a group or link count read as well.
  const std::vector<Word> words = SplitWords(line, 9);
  auto word = [&](size_t i) { return line.substr(words[i].begin, words[i].end - words[i].begin); };
  if (words.empty() || !IsPermissions(word(0))) return Unparsed(line, info);
  const char type = word(0)[0];  // the line may be indented
  for (size_t m = 2; m + 2 < words.size(); ++m) {
    const int month = MonthNumber(word(m));
    std::uint64_t size = 0;
    if (month == 0 || !ToUnsigned(word(m - 1), size)) continue;
    const std::string_view dayWord = word(m + 1);
    if (dayWord.size() > 2 || !AllDigits(dayWord)) continue;
    const int day = ToInt(dayWord);
    const std::string_view when = word(m + 2);
    int hour = 0, minute = 0;
    std::time_t modified = 0;
    bool hasTime = false;
    if (IsClock(when, hour, minute)) {
      std::tm local{};
      localtime_r(&now, &local);
      int year = local.tm_year + 1900;
      hasTime = MakeTime(year, month, day, hour, minute, 0, false, modified);
      if (hasTime && modified > now + 86400) hasTime = MakeTime(year - 1, month, day, hour, minute, 0, false, modified);
    } else if (when.size() == 4 && AllDigits(when)) {
      hasTime = MakeTime(ToInt(when), month, day, 0, 0, 0, false, modified);
    } else {
      continue;
    }
    std::string_view name = RestAfter(line, words[m + 2].end);
    if (type == 'l') {
      const size_t arrow = name.find(" -> ");
      if (arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    if (name.empty()) break;
    info = FtpFileInfo{};
    info.isDirectory = type == 'd' || type == 'D';
    info.size = size;
    info.modified = hasTime ? modified : 0;
    info.hasTime = hasTime;
    return Named(name, info);
  }
  return Unparsed(line, info);
}

// ---- DOS style: "01-02-23  03:04PM  <DIR>  name", "2023-01-02  15:04  12  name" ----

bool ParseDosDate(std::string_view word, int& year, int& month, int& day) {
  if (word.size() != 8 && word.size() != 10) return false;
  // Servers set to an ISO date format write the year first; where the separators sit tells
  // "2023-01-02" from "01-02-2023".
  const bool yearFirst = word.size() == 10 && (word[4] == '-' || word[4] == '/');
  const char sep = yearFirst ? word[4] : word[2];
  if ((sep != '-' && sep != '/') || word[yearFirst ? 7 : 5] != sep) return false;
  const std::string_view m = word.substr(yearFirst ? 5 : 0, 2), d = word.substr(yearFirst ? 8 : 3, 2),
                         y = yearFirst ? word.substr(0, 4) : word.substr(6);
  if (!AllDigits(m) || !AllDigits(d) || !AllDigits(y)) return false;
  month = ToInt(m);
  day = ToInt(d);
  year = ToInt(y);
  if (y.size() == 2) year += year < 70 ? 2000 : 1900;
  return true;
}

bool ParseDosClock(std::string_view word, int& hour, int& minute) {
  std::string_view clock = word;
  int shift = -1;  // -1: 24-hour clock
  if (clock.size() > 2) {
    const std::string_view suffix = clock.substr(clock.size() - 2);
    if (EqualsNoCase(suffix, "AM")) shift = 0;
    if (EqualsNoCase(suffix, "PM")) shift = 12;
    if (shift >= 0) clock.remove_suffix(2);
  }
  if (!IsClock(clock, hour, minute)) return false;
  if (shift >= 0) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + shift;
  }
  return true;
}

FtpLineKind ParseDosLine(std::string_view line, FtpFileInfo& info) {
  const std::vector<Word> words = SplitWords(line, 3);
  if (words.size() < 3) return Unparsed(line, info);
  auto word = [&](size_t i) { return line.substr(words[i].begin, words[i].end - words[i].begin); };
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (!ParseDosDate(word(0), year, month, day) || !ParseDosClock(word(1), hour, minute)) return Unparsed(line, info);
  info = FtpFileInfo{};
  const std::string_view kind = word(2);
  if (kind == "<DIR>") {
    info.isDirectory = true;
  } else if (!ToUnsigned(kind, info.size)) {
    return Unparsed(line, info);
  }
  const std::string_view name = RestAfter(line, words[2].end);
  if (name.empty()) return Unparsed(line, info);
  info.hasTime = MakeTime(year, month, day, hour, minute, 0, false, info.modified);
  if (!info.hasTime) info.modified = 0;
  return Named(name, info);
}

template <typename ParseLine>
std::vector<FtpFileInfo> ParseLines(std::string_view text, ParseLine parseLine) {
  std::vector<FtpFileInfo> entries;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    FtpFileInfo info;
    if (parseLine(line, info) != FtpLineKind::Skip) entries.push_back(std::move(info));
  }
  return entries;
}

bool IsBlankLine(std::string_view line) {
  for (char c : line) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Decimal digits to a number; false on anything else or on overflow.
bool ToUnsigned(std::string_view text, std::uint64_t& value) {
  if (!AllDigits(text)) return false;
  value = 0;
  for (char c : text) {
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

FtpLineKind ParseMlsdLine(std::string_view line, FtpFileInfo& info) {
  if (IsBlankLine(line)) return FtpLineKind::Skip;
  // Facts never hold a blank; the name is everything after the first one.
  const size_t blank = line.find(' ');
  // A line without facts is no entry: it is the tail of a name that held a line break, and what it
  // says must not pass for an entry of its own.
  if (blank == std::string_view::npos || line.substr(0, blank).find('=') == std::string_view::npos) {
    return FtpLineKind::Skip;
  }
  if (blank + 1 == line.size()) return Unparsed(line, info);
  std::string_view facts = line.substr(0, blank);
  const std::string_view name = line.substr(blank + 1);
  info = FtpFileInfo{};
  bool typed = false;
  while (!facts.empty()) {
    const size_t semi = facts.find(';');
    const std::string_view fact = facts.substr(0, semi);
    facts = semi == std::string_view::npos ? std::string_view() : facts.substr(semi + 1);
    const size_t eq = fact.find('=');
    if (eq == std::string_view::npos) {
      if (!fact.empty()) return Unparsed(line, info);
      continue;
    }
    const std::string_view key = fact.substr(0, eq), value = fact.substr(eq + 1);
    if (EqualsNoCase(key, "type")) {
      typed = true;
      if (EqualsNoCase(value, "cdir") || EqualsNoCase(value, "pdir")) return FtpLineKind::Skip;
      info.isDirectory = EqualsNoCase(value, "dir");
    } else if (EqualsNoCase(key, "size") || EqualsNoCase(key, "sizd")) {
      if (!ToUnsigned(value, info.size)) info.size = 0;
    } else if (EqualsNoCase(key, "modify")) {
      // YYYYMMDDHHMMSS with optional fraction, always UTC.
      const std::string_view stamp = value.substr(0, 14);
      if (stamp.size() == 14 && AllDigits(stamp)) {
        info.hasTime = MakeTime(ToInt(stamp.substr(0, 4)), ToInt(stamp.substr(4, 2)), ToInt(stamp.substr(6, 2)),
                                ToInt(stamp.substr(8, 2)), ToInt(stamp.substr(10, 2)), ToInt(stamp.substr(12, 2)), true,
                                info.modified);
        if (!info.hasTime) info.modified = 0;
      }
    }
  }
  if (!typed) return Unparsed(line, info);
  return Named(name, info);
}

FtpLineKind ParseListLine(std::string_view line, std::time_t now, FtpFileInfo& info) {
  if (IsBlankLine(line)) return FtpLineKind::Skip;
  const std::vector<Word> words = SplitWords(line, 3);
  if (words.size() == 2 && line.substr(words[0].begin, 5) == "total" && words[0].end - words[0].begin == 5 &&
      AllDigits(line.substr(words[1].begin, words[1].end - words[1].begin))) {
    return FtpLineKind::Skip;
  }
  if (!words.empty() && IsDigit(line[words[0].begin])) return ParseDosLine(line, info);
  return ParseUnixLine(line, now, info);
}

std::vector<FtpFileInfo> ParseMlsdListing(std::string_view text) {
  return ParseLines(text, [](std::string_view line, FtpFileInfo& info) { return ParseMlsdLine(line, info); });
}

std::vector<FtpFileInfo> ParseListListing(std::string_view text, std::time_t now) {
  return ParseLines(text, [now](std::string_view line, FtpFileInfo& info) { return ParseListLine(line, now, info); });
}

std::string_view UnixNameOfUnparsedLine(std::string_view line) {
  const size_t blank = line.rfind(' ');
  if (blank == std::string_view::npos || blank == 0) return line;
  return line.substr(blank + 1);
}

}  // namespace tarnwick
