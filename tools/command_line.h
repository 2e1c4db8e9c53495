// Error reporting and option parsing shared by the zdc commands.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zdc {

constexpr int kExitFailure = 1;  // a file could not be read, decoded or written
constexpr int kExitUsage = 2;    // bad command line

// A bad command line: the message and the command's usage line go to stderr,
// exit status 2.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// A failure tied to a file: reported as "zdc: FILE: message", exit status 1.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& file, const std::string& message)
      : std::runtime_error(message), file_(file) {}
  const std::string& File() const { return file_; }

 private:
  std::string file_;
};

// Prints "zdc: FILE: message" on stderr.
void ReportFileError(const FileError& error);
// Prints "zdc: message" and the usage line on stderr.
void ReportUsageError(const UsageError& error, const char* usage);

// Walks a command's arguments: options (with a value either separate or
// after '='), and positional arguments.
class ArgumentCursor {
 public:
  explicit ArgumentCursor(const std::vector<std::string>& args) : args_(args) {}

  bool Done() const { return index_ >= args_.size(); }
  // The next argument, consumed.
  const std::string& Next() { return args_[index_++]; }
  // When the current argument `arg` is `name` or starts with `name=`, stores
  // the option's value in `value` (taking the next argument when needed) and
  // returns true. Throws UsageError when the value is missing.
  bool Value(const std::string& arg, const char* name, std::string* value);

 private:
  const std::vector<std::string>& args_;
  size_t index_ = 0;
};

}  // namespace zdc
