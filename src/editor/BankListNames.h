// The display names of the bank selection lists: names too long for the
// editor's display are cut and numbered.
#pragma once

#include <string>
#include <vector>

// Display texts for the file names, in order, at most 55 characters each. A
// name of 53 characters or more becomes a prefix, "~", a counter and "."
// with its extension in lower case; the counter counts consecutive long
// names that share their first 47 characters, from 1. renamed receives
// (name, display text) of each cut.
std::vector<std::string> bankListDisplayNames(const std::vector<std::string>& fileNames,
                                              std::vector<std::pair<std::string, std::string>>* renamed = nullptr);
