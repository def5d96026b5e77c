// Records shared between the plug-in base, the adapter and the editor core.
#pragma once

enum EAPI { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIRTAS = 3, kAPIAAX = 4, kAPISA = 5 };

enum EFileAction { kFileOpen = 0, kFileSave = 1 };

// The host's transport as the adapter reports it; fields the host does not
// fill keep what the caller put there.
struct ITimeInfo {
  double mSamplePos = -1.0;
  double mPPQPos = -1.0;
  double mTempo = 120.0;
  double mLastBar = -1.0;
  double mCycleStart = -1.0;
  double mCycleEnd = -1.0;
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

// Version word 0xVVVVRRMM.
void GetVersionParts(int version, int* major, int* minor, int* micro);
int GetDecimalVersion(int version);
// text must hold 15 bytes.
void GetVersionStr(int version, char* text);
