// Why a file the user keeps could not be written, read or moved, as a short
// status text for the editor window ("Disk full", "File is read-only").
#pragma once

#include <string>
#include <string_view>

namespace userfiles {

// The reason for error (an errno value) met on path; path tells a file
// the user made read-only from a folder that takes no new file.
std::string failureReason(int error, const std::string& path = {});

// text as a status line may show it: a file's name can hold any byte but
// "/", and each control character (newline, tab, ESC, DEL, U+0080-U+009F)
// and each byte that is no part of valid UTF-8 becomes a visible "?".
std::string visibleText(std::string_view text);

}  // namespace userfiles
