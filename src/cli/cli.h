// The command-line front end: `tessor [options] FILE`.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tessor {

inline constexpr int kExitDone = 0;
inline constexpr int kExitUnreadable = 1;
inline constexpr int kExitUsage = 2;

// Runs the tool. `args` are the program name and its arguments as UTF-8 (on Linux,
// the bytes as given); `programDir` is the folder of the program file, where the
// signature folder `esig` is looked for. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programDir = {});

}  // namespace tessor
