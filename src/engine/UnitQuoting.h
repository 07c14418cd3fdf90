// Paths written into a systemd unit. A unit is parsed line by line with its own quoting, so a path
// that holds a line break, a control byte or bytes that are not UTF-8 could end a setting early and
// add settings of its own; such paths are refused, never written. The rest is quoted as systemd
// reads it (systemd.syntax(7), systemd.service(5), systemd.exec(5)).
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

enum class UnitPathUse {
  Command,           // the program of ExecStart=
  WorkingDirectory,  // the value of WorkingDirectory=
};

// Why `path` cannot be written into a unit for `use`: the character it holds, named and with its
// byte ("a line feed (0x0A)"); empty when it can be. The path must be absolute.
std::string UnitPathProblem(std::string_view path, UnitPathUse use);

// The program for ExecStart=: in double quotes, "\" and '"' escaped, "%" (a specifier) doubled.
// Only for a path UnitPathProblem accepts as a command.
std::string UnitCommandPath(std::string_view path);

// The value of WorkingDirectory=, which systemd takes as it stands (no quotes): "%" doubled.
// Only for a path UnitPathProblem accepts as a working directory.
std::string UnitDirectoryValue(std::string_view path);

}  // namespace tarnwick
