// The one error type of the media library: a file that cannot be read or
// written as asked. The message is meant for the user and names no path; the
// caller adds the file name.
#pragma once

#include <stdexcept>
#include <string>

namespace zdc {

class MediaError : public std::runtime_error {
 public:
  explicit MediaError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zdc
