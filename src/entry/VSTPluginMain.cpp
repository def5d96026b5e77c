// The exported entry points a VST 2.4 host looks up.
#include <mutex>

#include "Tarnivex.h"
#include "X11EditorView.h"

#define TARNIVEX_EXPORT extern "C" __attribute__((visibility("default")))

TARNIVEX_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback) {
  static WDL_Mutex creationLock;
  WDL_MutexLock lock(&creationLock);
  // In a host the editor is a child of the host's X11 window.
  static std::once_flag views;
  std::call_once(views, UseX11EditorViews);
  IPlugInstanceInfo info;
  info.mVSTHostCallback = hostCallback;
  auto* plug = new Tarnivex(info);  // the host owns it from here; effClose deletes it
  plug->EnsureDefaultPreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms <= 0) effect->numPrograms = 1;
  return effect;
}

// C++ does not let a function named main return a pointer; the label does.
TARNIVEX_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main");
AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
