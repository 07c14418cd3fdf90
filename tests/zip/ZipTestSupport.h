// Test helpers for archives: an independent header parser (local and central headers, the end
// records) and the outside readers the archives must satisfy.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick::test {

struct ParsedEntry {
  // Central header.
  std::uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0, dosTime = 0, dosDate = 0;
  std::uint32_t crc = 0, externalAttributes = 0;
  std::uint64_t compressedSize = 0, uncompressedSize = 0, offset = 0;
  std::string name;
  std::string centralExtra;
  // Its local header.
  std::uint16_t localVersionNeeded = 0, localFlags = 0, localMethod = 0, localTime = 0, localDate = 0;
  std::uint32_t localCrc = 0;
  std::uint64_t localCompressedSize = 0, localUncompressedSize = 0;
  std::string localName;
  std::string localExtra;
};

struct ParsedArchive {
  bool zip64 = false;
  std::uint64_t entryCount = 0;
  std::uint16_t classicCount = 0;
  std::uint64_t directoryOffset = 0, directorySize = 0;
  std::vector<ParsedEntry> entries;
};

inline std::uint64_t Le(const std::string& bytes, std::size_t at, int size) {
  if (at + size > bytes.size()) throw std::runtime_error("read past the end of the archive");
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Values of a Zip64 extra field for the fields that hold all ones, in the order the format fixes.
inline void ApplyZip64(const std::string& extra, std::uint64_t* fields[], int count) {
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    const auto id = Le(extra, at, 2);
    const auto size = Le(extra, at + 2, 2);
    if (id == 1) {
      std::size_t p = at + 4;
      for (int i = 0; i < count; ++i) {
        if (*fields[i] == 0xFFFFFFFFu) {
          *fields[i] = Le(extra, p, 8);
          p += 8;
        }
      }
    }
    at += 4 + size;
  }
}

// Parses an archive from its end record, as a reader does, and checks that the end record is the
// last thing in the file.
inline ParsedArchive ParseArchive(const std::string& bytes) {
  ParsedArchive archive;
  if (bytes.size() < 22) throw std::runtime_error("too short");
  const std::size_t end = bytes.size() - 22;
  if (Le(bytes, end, 4) != 0x06054B50) throw std::runtime_error("no end record at the end");
  archive.classicCount = static_cast<std::uint16_t>(Le(bytes, end + 10, 2));
  archive.entryCount = archive.classicCount;
  archive.directorySize = Le(bytes, end + 12, 4);
  archive.directoryOffset = Le(bytes, end + 16, 4);
  if (end >= 20 && Le(bytes, end - 20, 4) == 0x07064B50) {
    archive.zip64 = true;
    const std::uint64_t record = Le(bytes, end - 20 + 8, 8);
    if (Le(bytes, record, 4) != 0x06064B50) throw std::runtime_error("bad Zip64 end record");
    archive.entryCount = Le(bytes, record + 32, 8);
    archive.directorySize = Le(bytes, record + 40, 8);
    archive.directoryOffset = Le(bytes, record + 48, 8);
  }
  std::size_t at = archive.directoryOffset;
  for (std::uint64_t i = 0; i < archive.entryCount; ++i) {
    if (Le(bytes, at, 4) != 0x02014B50) throw std::runtime_error("bad central header");
    ParsedEntry e;
    e.versionMadeBy = static_cast<std::uint16_t>(Le(bytes, at + 4, 2));
    e.versionNeeded = static_cast<std::uint16_t>(Le(bytes, at + 6, 2));
    e.flags = static_cast<std::uint16_t>(Le(bytes, at + 8, 2));
    e.method = static_cast<std::uint16_t>(Le(bytes, at + 10, 2));
    e.dosTime = static_cast<std::uint16_t>(Le(bytes, at + 12, 2));
    e.dosDate = static_cast<std::uint16_t>(Le(bytes, at + 14, 2));
    e.crc = static_cast<std::uint32_t>(Le(bytes, at + 16, 4));
    e.compressedSize = Le(bytes, at + 20, 4);
    e.uncompressedSize = Le(bytes, at + 24, 4);
    const auto nameLength = Le(bytes, at + 28, 2);
    const auto extraLength = Le(bytes, at + 30, 2);
    const auto commentLength = Le(bytes, at + 32, 2);
    e.externalAttributes = static_cast<std::uint32_t>(Le(bytes, at + 38, 4));
    e.offset = Le(bytes, at + 42, 4);
    e.name = bytes.substr(at + 46, nameLength);
    e.centralExtra = bytes.substr(at + 46 + nameLength, extraLength);
    std::uint64_t* fields[] = {&e.uncompressedSize, &e.compressedSize, &e.offset};
    ApplyZip64(e.centralExtra, fields, 3);
    at += 46 + nameLength + extraLength + commentLength;

    const std::size_t local = e.offset;
    if (Le(bytes, local, 4) != 0x04034B50) throw std::runtime_error("bad local header of " + e.name);
    e.localVersionNeeded = static_cast<std::uint16_t>(Le(bytes, local + 4, 2));
    e.localFlags = static_cast<std::uint16_t>(Le(bytes, local + 6, 2));
    e.localMethod = static_cast<std::uint16_t>(Le(bytes, local + 8, 2));
    e.localTime = static_cast<std::uint16_t>(Le(bytes, local + 10, 2));
    e.localDate = static_cast<std::uint16_t>(Le(bytes, local + 12, 2));
    e.localCrc = static_cast<std::uint32_t>(Le(bytes, local + 14, 4));
    e.localCompressedSize = Le(bytes, local + 18, 4);
    e.localUncompressedSize = Le(bytes, local + 22, 4);
    const auto localNameLength = Le(bytes, local + 26, 2);
    const auto localExtraLength = Le(bytes, local + 28, 2);
    e.localName = bytes.substr(local + 30, localNameLength);
    e.localExtra = bytes.substr(local + 30 + localNameLength, localExtraLength);
    std::uint64_t* localFields[] = {&e.localUncompressedSize, &e.localCompressedSize};
    ApplyZip64(e.localExtra, localFields, 2);
    archive.entries.push_back(std::move(e));
  }
  if (at != archive.directoryOffset + archive.directorySize) throw std::runtime_error("directory size mismatch");
  return archive;
}

struct ToolResult {
  int status = -1;
  std::string output;
};

inline ToolResult RunTool(const std::string& command) {
  ToolResult result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  result.status = ::pclose(pipe);
  return result;
}

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Checks the archive with unzip, 7z, bsdtar and Python's zipfile: each must accept it, and Python
// must read every entry of `expected` (name -> bytes) with exactly those bytes and no other entry;
// bsdtar must list the same names. `namesOnly` skips the byte comparison (huge archives).
inline void ExpectReadersAccept(const std::filesystem::path& archive,
                                const std::map<std::string, std::string>& expected, bool namesOnly = false) {
  const std::string path = Quote(archive.string());
  // Each reader checks every entry's bytes, or only lists them for a huge archive.
  struct Reader {
    const char* check;
    const char* list;
  };
  constexpr Reader kReaders[] = {{"unzip -tq ", "unzip -lq "}, {"7z t ", "7z l "}, {"bsdtar -tf ", "bsdtar -tf "}};
  ToolResult bsdtar;
  for (const Reader& reader : kReaders) {
    const ToolResult result = RunTool((namesOnly ? reader.list : reader.check) + path);
    EXPECT_EQ(result.status, 0) << reader.check << result.output;
    bsdtar = result;  // the last one's listing is compared below
  }
  std::string expectedNames;
  for (const auto& [name, bytes] : expected) expectedNames += name + "\n";
  std::vector<std::string> listed;
  std::size_t start = 0;
  while (start < bsdtar.output.size()) {
    const auto nl = bsdtar.output.find('\n', start);
    listed.push_back(bsdtar.output.substr(start, nl - start));
    start = nl == std::string::npos ? bsdtar.output.size() : nl + 1;
  }
  std::sort(listed.begin(), listed.end());
  std::string listedNames;
  for (const auto& name : listed) listedNames += name + "\n";
  EXPECT_EQ(listedNames, expectedNames);

  // Python writes "name<TAB>length" lines to an index and every entry's bytes, in order, to one file.
  TempDir out;
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "full = sys.argv[3] == '0'\n"
      "index = open(sys.argv[2] + '/index', 'w', encoding='utf-8')\n"
      "data = open(sys.argv[2] + '/data', 'wb')\n"
      "for info in z.infolist():\n"
      "    content = z.read(info) if full else b''\n"
      "    index.write('%s\\t%d\\n' % (info.filename, len(content)))\n"
      "    data.write(content)\n";
  WriteFile(out / "read.py", script);
  auto python = RunTool("/usr/bin/python3 " + Quote((out / "read.py").string()) + " " + path + " " +
                        Quote(out.path().string()) + (namesOnly ? " 1" : " 0"));
  ASSERT_EQ(python.status, 0) << python.output;
  const std::string index = ReadFile(out / "index");
  const std::string data = ReadFile(out / "data");
  std::map<std::string, std::string> read;
  std::size_t count = 0;
  std::size_t dataAt = 0;
  start = 0;
  while (start < index.size()) {
    const auto tab = index.find('\t', start);
    const auto nl = index.find('\n', tab);
    const std::string name = index.substr(start, tab - start);
    const std::size_t length = std::stoull(index.substr(tab + 1, nl - tab - 1));
    read[name] = namesOnly && expected.count(name) ? expected.at(name) : data.substr(dataAt, length);
    dataAt += length;
    ++count;
    start = nl + 1;
  }
  EXPECT_EQ(read.size(), count) << "duplicate names";
  EXPECT_EQ(read.size(), expected.size());
  for (const auto& [name, bytes] : expected) {
    auto found = read.find(name);
    ASSERT_NE(found, read.end()) << name;
    EXPECT_TRUE(found->second == bytes) << name << ": bytes differ";
  }
}

}  // namespace tarnwick::test
