// Encoding and decoding of the parameter bytes of a sound dump, and the text
// fields, as pure functions over the layout table.
#pragma once

#include <cstdint>
#include <functional>
#include <array>
#include <string>
#include <vector>

#include "SoundDumpLayout.h"

// The plain value of a parameter index.
using ParamValueReader = std::function<double(int index)>;
// Receives the parameters a byte sets, in the order they are set.
using ParamValueWriter = std::function<void(int index, double value)>;

// The byte a field carries for part p, kept within 0..127 so no data byte
// can pose as a status byte.
uint8_t encodeSoundDumpField(const SoundDumpField& field, const ParamValueReader& valueOf, int part);
// Fills every parameter byte of the dump from part p's parameters.
void encodeSoundDumpParameters(uint8_t* dump, const ParamValueReader& valueOf, int part);
// Sets the parameters a received byte carries for part p.
void decodeSoundDumpField(const SoundDumpField& field, uint8_t byte, int part, const ParamValueWriter& set);
// Writes text into a blank-padded field of length bytes; characters outside
// printable ASCII become blanks.
void writeDumpText(uint8_t* field, int length, const std::string& text);

// The pause after a sound dump sent to the instrument.
constexpr int kSoundSendPauseMs = 150;

class EditorServices;
// Part p's sound as the editor holds it now, for its edit buffer: name and
// category in; the checksum is left to the way out.
std::array<uint8_t, kSoundDumpSize> soundDumpOf(EditorServices& plug, int part);
