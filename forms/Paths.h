#pragma once

#include <string>

namespace wsx {

// `path` with a trailing "/" (unchanged when it already ends in one; "/" for "").
std::string EnsureTrailingSlash(const std::string& path);
// The program's folder with a trailing "/" followed by the program file's name without its
// extension: "/opt/rec/wanshengxia.bin" gives "/opt/rec/wanshengxia".
std::string ExePathFor(const std::string& programFile);
// The folder holding the program file, without a trailing "/" except for the root.
std::string ProgramFolder(const std::string& programFile);

}  // namespace wsx
