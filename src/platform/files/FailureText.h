// Why a file the user keeps could not be written, read or moved, as a short
// status text for the editor window ("Disk full", "File is read-only").
#pragma once

#include <string>

namespace userfiles {

// The reason for error (an errno value) met on path; path tells a file
// the user made read-only from a folder that takes no new file.
std::string failureReason(int error, const std::string& path = {});

}  // namespace userfiles
