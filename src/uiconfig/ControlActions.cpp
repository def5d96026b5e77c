// The per-parameter control actions and the SysEx messages prepared for
// them, one per value.
#include "IParam.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace {
// A damaged document may ask for absurd value ranges; no parameter has more
// values than this, and a list this long is already far beyond any control.
constexpr int kMaxPreparedMessages = 1 << 14;
}  // namespace

ControlAction* UIConfigManager::existingControlAction(int paramIdx) const {
  if (!plug || paramIdx < 0 || paramIdx >= plug->NParams()) return nullptr;
  IParam* param = plug->GetParam(paramIdx);
  return param ? static_cast<ControlAction*>(param->GetControlAction()) : nullptr;
}

ControlAction* UIConfigManager::controlActionFor(int paramIdx, int actionType) {
  if (!plug || paramIdx < 0 || paramIdx >= plug->NParams() || !plug->GetParam(paramIdx)) return nullptr;
  if (ControlAction* action = existingControlAction(paramIdx)) {
    action->actionType = actionType;
    return action;
  }
  ControlAction* action = mActions.make();
  mActionParams.push_back(paramIdx);
  action->actionType = actionType;
  plug->GetParam(paramIdx)->SetControlAction(action);
  return action;
}

void UIConfigManager::setControlLink(ControlAction* action, int paramIndex, LinkInfo link, int part) {
  (void)part;
  if (!action || link.partnerParam < 0 || link.switchParam < 0) return;
  // A partner or switch beyond the parameter list has nothing to carry the link.
  if (!plug || link.partnerParam >= plug->NParams() || link.switchParam >= plug->NParams()) {
    log("CONFIG READER: link of parameter " + std::to_string(paramIndex) + " to " +
        std::to_string(link.partnerParam) + " is out of range");
    return;
  }
  action->link = link;
  ControlAction* partner = existingControlAction(link.partnerParam);
  if (!partner) partner = controlActionFor(link.partnerParam, ControlAction::kSysEx);
  if (partner) partner->link = {paramIndex, link.switchParam, -1};
}

std::vector<int> UIConfigManager::convertStringSysextoVector(std::string text) { return parseSysExTemplate(text); }

void UIConfigManager::copyIntVector(const std::vector<int>* from, std::vector<int>* to) {
  if (from && to) to->insert(to->end(), from->begin(), from->end());
}

void UIConfigManager::calculateSysexWithChangingByte(std::string templateText, int changingByte, int count,
                                                     ControlActionSysExMessage* out, int firstValue, int part) {
  if (!out) return;
  std::vector<int> bytes = convertStringSysextoVector(templateText);
  // The value byte must lie inside the template; otherwise nothing is prepared.
  if (changingByte < 1 || changingByte > static_cast<int>(bytes.size())) {
    log("CONFIG READER: changing byte " + std::to_string(changingByte) + " lies outside the template \"" +
        templateText + "\"");
    out->messages = SysExMessageList();
    return;
  }
  if (count > kMaxPreparedMessages) {
    log("CONFIG READER: " + std::to_string(count) + " values are too many to prepare for \"" + templateText + "\"");
    out->messages = SysExMessageList();
    return;
  }
  out->messages =
      SysExMessageList::fromTemplate(std::move(bytes), static_cast<size_t>(changingByte - 1), firstValue, count, part);
}

const std::string* UIConfigManager::sysexTemplateAt(int sysexIndex) {
  const std::string* text = sysexIndex >= 0 && sysexIndex < static_cast<int>(sysexContainers.size())
                                ? sysExTemplate(sysexContainers[static_cast<size_t>(sysexIndex)])
                                : nullptr;
  if (!text) log("CONFIG READER: SysEx definition " + std::to_string(sysexIndex) + " MISSING!");
  return text;
}
