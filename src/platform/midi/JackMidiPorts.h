// The seam's ports of one instance on the process's JACK client: both
// directions share the instance's endpoint. Lists are the client's last look.
#pragma once

#include <memory>

#include "JackMidiClient.h"
#include "MidiPorts.h"

class JackMidiOutPort : public MidiOutPort {
 public:
  explicit JackMidiOutPort(std::shared_ptr<JackMidiClient> client) : mClient(std::move(client)) {}
  ~JackMidiOutPort() override { mClient->closeOut(); }
  unsigned getPortCount() override;
  std::string getPortName(unsigned port) override;
  void openPort(unsigned port, const std::string& portName) override;
  bool portsListed() const override { return mClient->portsListed(); }
  void refreshPorts() override { mClient->refreshPorts(); }
  void openPortByName(const std::string& device, const std::string& portName) override;
  void openVirtualPort(const std::string& portName) override;
  void closePort() noexcept override { mClient->closeOut(); }
  bool isPortOpen() const override { return mClient->isOutOpen(); }
  bool isPortGone() const override { return mClient->isOutGone(); }
  bool isPortUnplugged() const override { return mClient->isOutUnplugged(); }
  bool sendMessage(const unsigned char* bytes, size_t size) override { return mClient->send(bytes, size); }

 private:
  std::shared_ptr<JackMidiClient> mClient;
};

class JackMidiInPort : public MidiInPort {
 public:
  explicit JackMidiInPort(std::shared_ptr<JackMidiClient> client) : mClient(std::move(client)) {}
  ~JackMidiInPort() override;
  unsigned getPortCount() override;
  std::string getPortName(unsigned port) override;
  void openPort(unsigned port, const std::string& portName) override;
  bool portsListed() const override { return mClient->portsListed(); }
  void refreshPorts() override { mClient->refreshPorts(); }
  void openPortByName(const std::string& device, const std::string& portName) override;
  void closePort() noexcept override { mClient->closeIn(); }
  bool isPortOpen() const override { return mClient->isInOpen(); }
  void setCallback(MidiInputCallback callback, void* userData) override { mClient->input().set(callback, userData); }
  void cancelCallback() override { mClient->input().cancel(); }
  void ignoreTypes(bool sysex, bool timing, bool activeSensing) override {
    mClient->input().ignoreTypes(sysex, timing, activeSensing);
  }

 private:
  std::shared_ptr<JackMidiClient> mClient;
};
