#include "LinkManager.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "IControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace {
constexpr int kFilterBlocksFirst = kFilter1Cutoff;             // 576
constexpr int kFilterBlocksLast = kFilter2PanAmount + kParamBlockSpan - 1;  // 943
constexpr int kTwinDistance = kFilter2Cutoff - kFilter1Cutoff;  // 192

bool linkedFilterBlock(int base) { return base != kFilter1Type && base != kFilter2Type && base != kFilterRouting; }

double valueOf(Tarnivex* plug, int index) {
  const IParam* param = plug->GetParam(index);
  return param ? param->Value() : 0.0;
}
}  // namespace

void LinkManager::controlLinker(Tarnivex* plug, ControlAction* action, LinkInfo link, int index, int value,
                                double) {
  if (!plug || !action) return;
  if (index >= kFilterBlocksFirst && index <= kFilterBlocksLast) {
    const int offset = index - kFilterBlocksFirst;
    const int base = index - offset % kParamBlockSpan;
    if (linkedFilterBlock(base)) {
      const int part = offset % kParamBlockSpan;
      const int twin = base < kFilter2Cutoff ? index + kTwinDistance : index - kTwinDistance;
      link.switchParam = kFilterLinkSwitch + part;
      if (valueOf(plug, link.switchParam) == 1.0)
        link.partnerParam = twin;
      else
        action->linkOffset = static_cast<int>(valueOf(plug, twin)) - value;
    }
  }
  if (link.partnerParam < 0 || link.switchParam < 0) return;
  IParam* partner = plug->GetParam(link.partnerParam);
  if (!partner || !plug->GetParam(link.switchParam)) return;
  if (valueOf(plug, link.switchParam) == 0.0) return;
  // A partner nobody bound a control to has nothing to send or show.
  auto* partnerAction = static_cast<ControlAction*>(partner->GetControlAction());
  if (!partnerAction) return;

  const int distance = std::abs(action->linkOffset);
  const int partnerValue = static_cast<int>(partner->Value());
  const int moved = partnerValue < value ? value - distance : partnerValue > value ? value + distance : value;

  plug->linking = true;
  MIDIMessageManager* messages = plug->midiMessageManager.get();
  const bool held = messages && messages->echoGuard;
  if (held) messages->echoGuard = false;
  plug->processControlAction(partnerAction, link.partnerParam, moved < 0 ? 0.0 : std::min(moved, 127));
  plug->linking = false;
  const std::vector<IControl*> controls = partnerAction->controls;
  for (IControl* control : controls)
    if (control) control->SetValueFromPlug(partner->GetNormalized());
  if (held) messages->echoGuard = true;
}
