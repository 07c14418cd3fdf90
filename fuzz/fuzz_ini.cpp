// INI text of any bytes: loading, look-ups and changes, and loading the text written back; the
// piecewise load of chosen sections from a file holds what the whole load holds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnwick::CIniFile ini;
  ini.LoadFromText(text);
  // Look-ups with names taken from the input itself, so that they sometimes hit.
  const std::string_view first = text.substr(0, text.find('\n'));
  const std::string_view section = first.size() >= 2 ? first.substr(1, first.size() - 2) : first;
  const std::string_view key = text.substr(text.size() / 2, 8);
  ini.GetValue(section, key, "d");
  ini.GetValue(" ", first.substr(0, first.find('=')), "d");
  ini.SetValue(section, key, "value;x");
  ini.SetValue("NEW", key, "v");
  if (!ini.IsModified()) abort();
  if (ini.GetValue("new", key) != "v") abort();

  // The written text is read again; it need not read the same (an empty key loses its "=").
  tarnwick::CIniFile again;
  again.LoadFromText(ini.ToText());
  again.GetValue(section, key);

  const int fd = ::memfd_create("fuzz.ini", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) abort();
  tarnwick::CIniFile whole;
  whole.LoadFromText(text);
  tarnwick::CIniFile part;
  if (!part.LoadSections("/proc/self/fd/" + std::to_string(fd), tarnwick::kCatalogueFileLimit,
                         {std::string(section), " "})
           .ok())
    abort();
  if (part.GetValue(section, key, "d") != whole.GetValue(section, key, "d")) abort();
  if (part.GetValue(" ", first.substr(0, first.find('=')), "d") !=
      whole.GetValue(" ", first.substr(0, first.find('=')), "d")) {
    abort();
  }
  ::close(fd);
  return 0;
}
