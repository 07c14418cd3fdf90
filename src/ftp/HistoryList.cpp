#include "ftp/HistoryList.h"

#include <algorithm>
#include <cctype>

#include "app/HistoryStore.h"
#include "app/StringTable.h"

namespace tarnwick {

namespace {

constexpr const char* kFallbackLastKey = "Last";
// Stale values of an earlier, longer list are looked for up to this index.
constexpr int kHighestStaleIndex = 999;

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trim(const std::string& text) {
  constexpr const char* kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

CHistoryList::CHistoryList(HistoryStore& store, bool hasEditField) : store_(store), hasEditField_(hasEditField) {}

std::string CHistoryList::LastValueKey() const {
  if (!lastKey_.empty()) return lastKey_;
  return keyPrefix_.empty() ? kFallbackLastKey : keyPrefix_;
}

std::string CHistoryList::Load(const std::string& section, const std::string& keyPrefix, bool rememberLast,
                               const std::string& lastKey) {
  section_ = section;
  keyPrefix_ = keyPrefix;
  rememberLast_ = rememberLast;
  lastKey_ = lastKey;
  // A second load replaces the list rather than doubling it.
  entries_.clear();
  selection_ = -1;
  for (int i = 0; i < maximum_; ++i) {
    std::string value = store_.GetString(section_, FormatText("%s%d", keyPrefix_.c_str(), i)).value_or("");
    if (value.empty()) break;
    entries_.push_back(std::move(value));
  }
  if (!rememberLast_) return {};
  std::string last = store_.GetString(section_, LastValueKey()).value_or("");
  if (last.empty()) return last;
  auto match =
      std::find_if(entries_.begin(), entries_.end(), [&](const std::string& e) { return EqualNoCase(e, last); });
  if (match != entries_.end()) {
    Select(static_cast<int>(match - entries_.begin()));
  } else if (hasEditField_) {
    editText_ = last;
  }
  return last;
}

// An empty entry is never added: it would end the list when read back, losing all after it.
void CHistoryList::Add(const std::string& text) {
  if (section_.empty() || keyPrefix_.empty()) {
    if (!text.empty()) entries_.push_back(text);
    return;
  }
  std::string entry = Trim(text);
  if (entry.empty()) return;
  entries_.erase(
      std::remove_if(entries_.begin(), entries_.end(), [&](const std::string& e) { return EqualNoCase(e, entry); }),
      entries_.end());
  entries_.insert(entries_.begin(), std::move(entry));
  SetMaximum(maximum_);
  Select(0);
}

Status CHistoryList::Save(bool addCurrent) {
  if (section_.empty()) return {};
  if (addCurrent) Add(editText_);  // Add trims and ignores an empty text
  Status first;
  const auto keep = [&first](Status status) {
    if (first.ok()) first = std::move(status);
  };
  int index = 0;
  for (const std::string& entry : entries_) {
    keep(store_.SetString(section_, FormatText("%s%d", keyPrefix_.c_str(), index++), entry));
  }
  for (; index <= kHighestStaleIndex; ++index) {
    const std::string key = FormatText("%s%d", keyPrefix_.c_str(), index);
    if (store_.GetString(section_, key).value_or("").empty()) break;
    keep(store_.RemoveKey(section_, key));
  }
  if (rememberLast_) keep(store_.SetString(section_, LastValueKey(), editText_));
  return first;
}

void CHistoryList::SetMaximum(int maximum) {
  maximum_ = std::max(0, maximum);
  if (entries_.size() > static_cast<size_t>(maximum_)) entries_.resize(static_cast<size_t>(maximum_));
  if (selection_ >= maximum_) selection_ = -1;
}

void CHistoryList::Select(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) {
    selection_ = -1;
    return;
  }
  selection_ = index;
  editText_ = entries_[static_cast<size_t>(index)];
}

void CHistoryList::SetEditText(const std::string& text) {
  editText_ = text;
  selection_ = -1;
}

std::string CHistoryList::CurrentText() const {
  return selection_ >= 0 ? entries_[static_cast<size_t>(selection_)] : editText_;
}

}  // namespace tarnwick
