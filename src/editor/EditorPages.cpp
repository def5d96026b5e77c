// The pages the editor switches between, as the plug-in keeps them, and the
// part send that a change of the part tab starts.
#include "ControlLayer.h"
#include "MIDIMessageManager.h"
#include "Tarnivex.h"

ControlLayer* Tarnivex::namedLayer(const std::string& name) {
  const auto found = pageLayers.find(name);
  if (found != pageLayers.end() && found->second) return found->second;
  // A document without the page opens with what it has; say so once.
  if (missingLayersLogged.insert(name).second) debugLog("CONFIG READER: layer " + name + " MISSING!");
  return nullptr;
}

bool Tarnivex::ThreadRunning() const {
  return midiMessageManager && midiMessageManager->isThreadRunning(JobThread::kRequest);
}

void Tarnivex::sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) {
  if (!midiMessageManager) return;
  MIDIMessageManager& manager = *midiMessageManager;
  sendGlobalFirst = withGlobal;
  quietSend = quiet;
  manager.busy = busy;
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = part;
  manager.startJob(job);
  if (thenMulti) {
    SenderJob multi;
    multi.jobCode = 0;
    manager.startJob(multi);
    pauseFor(400);
  }
  manager.busy = false;
}
