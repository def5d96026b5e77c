// Registering controls in the incoming-message indexes.
#include "UIConfigManager.h"

bool UIConfigManager::registerSysExControl(const ControlAction& action, int changingByte, int section,
                                           IControl* control) {
  // Multi and global messages (value at byte 7) are keyed from byte 2, sound
  // messages from byte 3; four bytes either way.
  const size_t first = changingByte == 7 ? 2 : 3;
  const SysExMessageList& messages = action.sysex.messages;
  if (messages.empty() || messages.messageSize(0) < first + 4) {
    log("CONFIG READER: no SysEx message to key a control by");
    return false;
  }
  unsigned char keys[4];
  for (size_t i = 0; i < 4; ++i) keys[i] = static_cast<unsigned char>(messages.byteAt(0, first + i) & 0xFF);
  sysexControls.addToControlMap(keys, static_cast<unsigned char>(section & 0xFF), control);
  return true;
}

void UIConfigManager::registerCCControl(const ControlAction& action, IControl* control) {
  ccControls[action.channel][action.ccNumber][action.globalFlag] = control;
}

void UIConfigManager::registerMsbLsbControl(const ControlAction& action, IControl* control) {
  nrpnControls.addToControlMap(&action, control);
}

int UIConfigManager::effectSection(int paramIdx) {
  // Inclusive parameter-index ranges of the effect types' parameter blocks.
  static constexpr struct {
    int first, last, section;
  } kRanges[] = {
      {3089, 3136, 1}, {3697, 3744, 1},                                     // chorus
      {3137, 3200, 2}, {3745, 3808, 2},                                     // flanger
      {3201, 3296, 3}, {3809, 3904, 3},                                     // phaser
      {3297, 3344, 4}, {4017, 4064, 4},                                     // overdrive
      {3345, 3392, 5}, {3409, 3472, 5}, {4065, 4112, 5}, {4129, 4192, 5},  // five FX
      {3473, 3488, 6}, {3505, 3696, 6}, {4193, 4208, 6}, {4225, 4416, 6},  // vocoder
      {3905, 4016, 7},                                                      // delay
      {4545, 4736, 8}, {4753, 4784, 8},                                     // 5.1 delay
      {4785, 5008, 9},                                                      // 5.1 delay clocked
      {4417, 4544, 10},                                                     // reverb
  };
  for (const auto& r : kRanges)
    if (paramIdx >= r.first && paramIdx <= r.last) return r.section;
  return 0;
}
