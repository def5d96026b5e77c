// Whole-file reads and writes of the library.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "PatchSysexMessage.h"

// Writes data to a temporary file in the target's folder, flushes it to disk
// and renames it over path, so a failed or short write leaves the old file as
// it was. False (and no temporary file left) on any failure.
bool writeFileAtomically(const std::string& path, const Bytes& data);

// The whole file, or nothing when it cannot be opened, is larger than
// maxSize, or cannot be read to its end.
std::optional<Bytes> readWholeFile(const std::string& path, std::size_t maxSize);
