#include "formats/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <utility>

#include "formats/FileIo.h"
#include "formats/PartFile.h"

namespace tarnwick {
namespace {

// Every INI file we create is the user's alone: the account files hold passwords in plain text,
// and the catalogue has no reason to be readable by others either.
constexpr mode_t kFileMode = 0600;

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Letter case is ignored for ASCII letters only; other bytes (UTF-8 sequences) compare exactly.
bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::string FoldedCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

// Whether the folder `path` lies in exists: a file missing there is one Save can make.
bool FolderExists(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string_view TrimRight(std::string_view line) {
  constexpr std::string_view kWhitespace = " \t\r\n\v\f";
  const size_t last = line.find_last_not_of(kWhitespace);
  return last == std::string_view::npos ? std::string_view() : line.substr(0, last + 1);
}

}  // namespace

CIniFile::~CIniFile() {
  if (saveOnClose_) (void)Save();  // nobody is left to hear of a failure; the old file stays whole
  Clear();
}

void CIniFile::SaveAndClear() {
  if (sections_.empty()) return;
  (void)Save();
  Clear();
}

IoResult CIniFile::Load(const std::string& path, std::uint64_t limit, bool saveOnClose) {
  SaveAndClear();
  std::string text;
  if (const IoResult read = ReadWholeFile(path, limit, text);
      !read.ok() && !(read.sysError == ENOENT && FolderExists(path))) {
    return read;
  }
  sections_.push_back({kLeadingSection, {}, {}});
  path_ = path;
  saveOnClose_ = saveOnClose;
  Parse(text);
  return {};
}

IoResult CIniFile::LoadForUpdate(const std::string& path, std::uint64_t limit) {
  SaveAndClear();
  lock_.emplace(path);
  IoResult loaded = Load(path, limit, false);
  if (!loaded.ok()) lock_.reset();
  return loaded;
}

void CIniFile::LoadFromText(std::string_view text) {
  SaveAndClear();
  sections_.push_back({kLeadingSection, {}, {}});
  Parse(text);
}

void CIniFile::Parse(std::string_view text) {
  const auto everything = [](std::string_view) { return true; };
  keeping_ = true;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    AddLine(text.substr(0, end), everything);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
}

template <typename Keep>
void CIniFile::AddLine(std::string_view line, const Keep& keep) {
  line = TrimRight(line);
  if (line.empty()) return;
  if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
    const std::string_view name = line.substr(1, line.size() - 2);
    keeping_ = keep(name);
    if (keeping_) sections_.push_back({std::string(name), {}, {}});
    return;
  }
  if (!keeping_) return;
  Section& section = sections_.back();
  const size_t equals = line.find('=');
  section.keys.emplace_back(line.substr(0, equals));
  section.values.emplace_back(equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1));
}

IoResult CIniFile::LoadSections(const std::string& path, std::uint64_t limit,
                                const std::vector<std::string>& sections) {
  constexpr std::size_t kPiece = std::size_t{64} * 1024;
  constexpr std::size_t kLongestLine = 1 << 20;
  SaveAndClear();
  std::unordered_set<std::string> wanted;
  for (const std::string& name : sections) wanted.insert(FoldedCase(name));
  const auto keep = [&wanted](std::string_view name) { return wanted.count(FoldedCase(name)) != 0; };
  sections_.push_back({kLeadingSection, {}, {}});
  keeping_ = keep(kLeadingSection);

  // Only reads: a missing file is an empty one and is not made here.
  CFileDescriptor fd;
  if (const IoResult opened = OpenStoredFile(path, limit, fd); !opened.ok()) {
    if (opened.sysError == ENOENT && FolderExists(path)) {
      keeping_ = true;
      return {};
    }
    return opened;
  }
  std::string pending;  // the start of a line whose end is not read yet
  auto piece = std::make_unique<char[]>(kPiece);
  bool overlong = false;  // inside a line that is being dropped
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t got = ReadFull(fd.get(), piece.get(), kPiece);
    // A part is never taken for the whole; a file that grew past its limit since it was opened is
    // refused as ReadAllUpTo refuses it.
    total += got > 0 ? static_cast<std::uint64_t>(got) : 0;
    if (got < 0 || total > limit) {
      const IoResult failed = got < 0 ? IoResult::FromErrno() : IoResult::TooLarge(limit);
      Clear();
      keeping_ = true;
      return failed;
    }
    if (got == 0) break;
    std::string_view text(piece.get(), static_cast<std::size_t>(got));
    for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
      if (!overlong) {
        pending.append(text.substr(0, end));
        AddLine(pending, keep);
      }
      pending.clear();
      overlong = false;
      text.remove_prefix(end + 1);
    }
    if (!overlong) pending.append(text);
    if (pending.size() > kLongestLine) {
      pending.clear();
      overlong = true;
    }
  }
  if (!overlong) AddLine(pending, keep);
  keeping_ = true;
  return {};
}

const CIniFile::Section* CIniFile::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (EqualNoCase(section.name, name)) return &section;
  }
  return nullptr;
}

CIniFile::Section* CIniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

namespace {

// Index of the last key equal to `key`, or -1.
template <typename Keys>
long FindLastKey(const Keys& keys, std::string_view key) {
  for (size_t i = keys.size(); i-- > 0;) {
    if (EqualNoCase(keys[i], key)) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace

std::string CIniFile::GetValue(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return std::string(defaultValue);
  const long index = FindLastKey(found->keys, key);
  if (index < 0) return std::string(defaultValue);
  std::string_view value = found->values[static_cast<size_t>(index)];
  // What follows the last ';' is a comment.
  const size_t semicolon = value.rfind(';');
  if (semicolon != std::string_view::npos) value = value.substr(0, semicolon);
  return std::string(value);
}

void CIniFile::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  Section* found = FindSection(section);
  if (found == nullptr) {
    sections_.push_back({std::string(section), {}, {}});
    found = &sections_.back();
    modified_ = true;
  }
  const long index = FindLastKey(found->keys, key);
  if (index < 0) {
    found->keys.emplace_back(key);
    found->values.emplace_back(value);
    modified_ = true;
    return;
  }
  std::string& old = found->values[static_cast<size_t>(index)];
  // A change of letter case alone is taken but does not make the file worth rewriting.
  if (!EqualNoCase(old, value)) modified_ = true;
  old.assign(value);
}

std::string CIniFile::ToText() const {
  std::string text;
  for (const Section& section : sections_) {
    if (!section.name.empty() && section.name != kLeadingSection) text.append("[").append(section.name).append("]\n");
    for (size_t i = 0; i < section.keys.size(); ++i) {
      text.append(section.keys[i]);
      if (!section.keys[i].empty()) text.append("=");
      text.append(section.values[i]).append("\n");
    }
  }
  return text;
}

IoResult CIniFile::Save() {
  if (!modified_ || path_.empty()) return {};
  return ReplaceFile(path_, ToText(), kFileMode);
}

void CIniFile::Clear() {
  sections_.clear();
  path_.clear();
  saveOnClose_ = false;
  modified_ = false;
  lock_.reset();
}

}  // namespace tarnwick
