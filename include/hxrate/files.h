// hxrate/files.h: the fixed names of the files the hxrate program reads and
// writes in its working directory (part of hxrate::program's API).
#pragma once

namespace hxrate {

inline constexpr const char* caseFileName = "48230007640350000606.txt";     // the case
inline constexpr const char* resultsFileName = "48230007650350000606.txt";  // the report
inline constexpr const char* runLogName = "Log file.txt";                   // the run log

}  // namespace hxrate
