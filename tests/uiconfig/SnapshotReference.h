// Snapshots of what the editor draws, held against references stored in the
// repository (tests/uiconfig/snapshots). Each frame is written to
// build/*/snapshots for a person to look at. With TARNIVEX_UPDATE_SNAPSHOTS=1
// the frame replaces its reference (./scripts/update-snapshots).
#pragma once

#include <string>

#include "lice.h"

namespace snapshots {
// Empty when the frame matches its reference within a small tolerance (text
// drawn by another FreeType may differ by a few pixels); otherwise what
// differs, a missing reference included.
std::string compare(LICE_IBitmap* frame, const std::string& name,
                    const std::string& references = TARNIVEX_SNAPSHOT_REFERENCES);
}  // namespace snapshots
