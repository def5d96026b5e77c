// The lengths of the instrument's sound and multi dumps, shared by the
// library's built-in dumps and the protocol's frame.
#pragma once

constexpr int kSoundDumpSize = 392;
constexpr int kMultiDumpSize = 393;
