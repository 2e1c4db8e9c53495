// The commands of the zdc tool. Each takes the arguments after its name and
// returns the process exit status: 0 success, 1 a file could not be read or
// written, 2 bad usage.
#pragma once

#include <string>
#include <vector>

namespace zdc {

int RunInfo(const std::vector<std::string>& args);
int RunDecode(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);
#ifdef ZDC_HAVE_ENCODE_COMMAND
int RunEncode(const std::vector<std::string>& args);
#endif

}  // namespace zdc
