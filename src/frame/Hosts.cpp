#include "Hosts.h"

#include <cstring>

#include "Utilities.h"

namespace {
struct HostMatch {
  const char* substring;
  EHost host;
};

// Order decides ties: "live" before "logic".
constexpr HostMatch kHostMatches[] = {
    {"cubase", kHostCubase},       {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},       {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude}, {"fruity", kHostFL},
    {"live", kHostAbletonLive},    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner}, {"aulab", kHostAULab},
    {"garageband", kHostGarageBand}, {"forte", kHostForte},
    {"chainer", kHostChainer},     {"audition", kHostAudition},
    {"orion", kHostOrion},         {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},         {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch}, {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost}, {"protools", kHostProTools},
    {"ardour", kHostArdour},       {"standalone", kHostStandalone},
};

struct HostName {
  EHost host;
  const char* name;
};

constexpr HostName kHostNames[] = {
    {kHostReaper, "Reaper"},       {kHostProTools, "ProTools"},
    {kHostCubase, "Cubase"},       {kHostNuendo, "Nuendo"},
    {kHostSonar, "Sonar"},         {kHostVegas, "Vegas"},
    {kHostFL, "FLStudio"},         {kHostSamplitude, "Samplitude"},
    {kHostAbletonLive, "Live"},    {kHostVSTScanner, "VSTScanner"},
    {kHostAULab, "AULab"},         {kHostForte, "Forte"},
    {kHostChainer, "Chainer"},     {kHostAudition, "Audition"},
    {kHostOrion, "Orion"},         {kHostSAWStudio, "SAWStudio"},
    {kHostLogic, "Logic"},         {kHostGarageBand, "GarageBand"},
    {kHostDigitalPerformer, "DigitalPerformer"}, {kHostStandalone, "Standalone"},
    {kHostAudioMulch, "AudioMulch"}, {kHostStudioOne, "StudioOne"},
    {kHostVST3TestHost, "VST3PluginTestHost"}, {kHostArdour, "Ardour"},
};
}  // namespace

EHost LookUpHost(const char* productString) {
  if (!productString) return kHostUnknown;
  char lower[256];
  char bounded[256];
  std::strncpy(bounded, productString, sizeof(bounded) - 1);
  bounded[sizeof(bounded) - 1] = 0;
  ToLower(lower, bounded);
  for (const HostMatch& match : kHostMatches)
    if (std::strstr(lower, match.substring)) return match.host;
  return kHostUnknown;
}

void GetHostNameStr(EHost host, char* name) {
  const char* text = "Unknown";
  for (const HostName& entry : kHostNames)
    if (entry.host == host) text = entry.name;
  std::strcpy(name, text);
}
