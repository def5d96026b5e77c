// Snapshots of what the editor draws, held against references stored in the
// repository (tests/uiconfig/snapshots): the frame, and the list of the
// controls and captions it shows. Each is written to build/*/snapshots for a
// person to look at. With TARNIVEX_UPDATE_SNAPSHOTS=1 it replaces its
// reference (./scripts/update-snapshots).
#pragma once

#include <string>
#include <vector>

#include "lice.h"

namespace snapshots {
// Empty when the frame matches its reference within a small tolerance (text
// drawn by another FreeType may differ by a few pixels), over the frame and
// in each square of it; otherwise what differs, a missing reference included.
std::string compare(LICE_IBitmap* frame, const std::string& name,
                    const std::string& references = TARNIVEX_SNAPSHOT_REFERENCES);
// Empty when the lines ("KEY<tab>VALUE") are those of the stored list;
// otherwise what changed, a line each: a key whose value changed (a control
// moved or resized), a value whose key changed (a caption renamed in its
// place), and what is gone or new.
std::string compareList(const std::vector<std::string>& lines, const std::string& name,
                        const std::string& references = TARNIVEX_SNAPSHOT_REFERENCES);
}  // namespace snapshots
