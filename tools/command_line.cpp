#include "command_line.h"

#include <cstdio>

namespace zdc {

void ReportFileError(const FileError& error) {
  std::fprintf(stderr, "zdc: %s: %s\n", error.File().c_str(), error.what());
}

void ReportUsageError(const UsageError& error, const char* usage) {
  std::fprintf(stderr, "zdc: %s\n%s\n", error.what(), usage);
}

bool ArgumentCursor::Value(const std::string& arg, const char* name, std::string* value) {
  const std::string option = name;
  if (arg == option) {
    if (Done()) throw UsageError("option " + option + " needs a value");
    *value = Next();
    return true;
  }
  if (arg.size() > option.size() && arg.compare(0, option.size(), option) == 0 &&
      arg[option.size()] == '=') {
    *value = arg.substr(option.size() + 1);
    return true;
  }
  return false;
}

}  // namespace zdc
