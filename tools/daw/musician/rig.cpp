// A hand-test rig, not part of the product: the built plug-in loaded by the
// test host with its window open on $DISPLAY, and the simulated instrument
// on a JACK client of its own ("TvxInstrument:in" takes what the plug-in
// sends, "TvxInstrument:out" carries the instrument's messages). Every
// message on either side is logged with its time; commands come on stdin,
// one a line, and each is answered "ok" on stdout once done.
//
//   rig PLUGIN.so LOG            run
//   rig --bank FILE              write a bank of 100 sounds "Fact0".."Fact99"
//
// Commands: wait MS | mark TEXT | local 0|1 | inst HEX.. | host HEX.. |
//   burst ROAD PART N GAPMS FIRST STEP [BANKS] | state PART | idle MS | quit |
//   delay MS (replies held back) | silent 0|1 (requests unanswered) | reports 0|1 (each program change taken is
//   reported back) | twice MS (each answer sent again MS later; -1 once) | panel PART BANK PROG (a pick on the instrument's panel,
//   its reports sent) | soundknob PART POS VALUE | getchunk FILE | setchunk FILE
//   (the host's project save and restore, on the window's thread) |
//   storemultis (the instrument's 100 stored multis: the multi it plays with
//   part p on bank (n + p) % 3, program 5 p + n % 5, named "STORED MULTI nn") |
//   multistate (the multi the instrument plays: name and every part's pair)
// RIG_GLOBALCH=N (1-16) sets the instrument's global channel (multi picks).
// ROAD: ipc (program change), ipcb (bank select + program change),
//   rep (program report), knob (one detent up from what the part plays),
//   host, hostb (the host's program change, with bank select).
// With local control on the instrument plays its own picks itself.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <unistd.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FrameChecksum.h"
#include "HostEvents.h"
#include "InstrumentLink.h"
#include "SimulatedInstrument.h"
#include "TestHost.h"

namespace {
using Clock = std::chrono::steady_clock;
const Clock::time_point gStart = Clock::now();
double nowMs() { return std::chrono::duration<double, std::milli>(Clock::now() - gStart).count(); }

std::mutex gLogMutex;
FILE* gLog = nullptr;
void logLine(char tag, const std::vector<uint8_t>& bytes, const std::string& extra = {}) {
  std::lock_guard<std::mutex> lock(gLogMutex);
  std::fprintf(gLog, "%c %.3f", tag, nowMs());
  for (uint8_t b : bytes) std::fprintf(gLog, " %02X", b);
  if (!extra.empty()) std::fprintf(gLog, " %s", extra.c_str());
  std::fputc('\n', gLog);
  std::fflush(gLog);
}

std::vector<uint8_t> hexBytes(std::istream& in) {
  std::vector<uint8_t> out;
  std::string h;
  while (in >> h) out.push_back(static_cast<uint8_t>(std::stoi(h, nullptr, 16)));
  return out;
}

// The instrument's JACK end.
struct Port {
  jack_client_t* client = nullptr;
  jack_port_t* in = nullptr;
  jack_port_t* out = nullptr;
  std::mutex mutex;
  std::deque<std::vector<uint8_t>> toPlug, fromPlug;
  // The JACK cycle a message was read in or written in.
  std::deque<unsigned long> fromCycles;
  std::deque<std::pair<unsigned long, std::vector<uint8_t>>> written;
  unsigned long cycle = 0;
  std::atomic<bool> plugged{true};
  static int process(jack_nframes_t frames, void* self) {
    auto* p = static_cast<Port*>(self);
    if (!p->plugged) return 0;
    void* inBuf = jack_port_get_buffer(p->in, frames);
    void* outBuf = jack_port_get_buffer(p->out, frames);
    jack_midi_clear_buffer(outBuf);
    std::lock_guard<std::mutex> lock(p->mutex);
    ++p->cycle;
    const jack_nframes_t n = jack_midi_get_event_count(inBuf);
    for (jack_nframes_t i = 0; i < n; ++i) {
      jack_midi_event_t e;
      if (jack_midi_event_get(&e, inBuf, i) == 0) {
        p->fromPlug.emplace_back(e.buffer, e.buffer + e.size);
        p->fromCycles.push_back(p->cycle);
      }
    }
    while (!p->toPlug.empty()) {
      auto& m = p->toPlug.front();
      if (jack_midi_event_write(outBuf, 0, m.data(), m.size()) != 0) break;
      p->written.emplace_back(p->cycle, m);
      p->toPlug.pop_front();
    }
    return 0;
  }
};

// Splits the plug-in's stream into whole messages (JACK may join them).
struct Splitter {
  std::vector<uint8_t> pending;
  template <class F>
  void feed(const std::vector<uint8_t>& bytes, F done) {
    for (uint8_t b : bytes) {
      if (b == 0xF0) pending.clear();
      if (b >= 0xF8) {
        done(std::vector<uint8_t>{b});
        continue;
      }
      if (b & 0x80 && b != 0xF7 && !pending.empty() && pending[0] != 0xF0) pending.clear();
      pending.push_back(b);
      const uint8_t s = pending[0];
      size_t want = 0;
      if (s == 0xF0) want = b == 0xF7 ? pending.size() : 0;
      else if ((s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0) want = 2;
      else if (s & 0x80) want = 3;
      if (want && pending.size() == want) {
        done(pending);
        pending.clear();
      }
    }
  }
};

int writeBank(const char* path) {
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < 100; ++i) {
    SimBytes d = SimulatedInstrument::soundDump(0, 0, i, "Fact" + std::to_string(i));
    out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
  }
  return out ? 0 : 1;
}

// The program the part plays, as the instrument's multi names it (a sound
// dump into the part changes its sound, not its program).
int multiProgram(SimulatedInstrument& inst, int part, int* bank) {
  const SimBytes multi = inst.multiBuffer();
  const size_t at = 7 + 32 + 22 * static_cast<size_t>(part);
  if (bank) *bank = multi[at];
  return multi[at + 1];
}

// The part's program, read off the name of the sound its buffer holds ("SOUND A07").
int playingProgram(SimulatedInstrument& inst, int part, int* bank) {
  const SimBytes b = inst.partBuffer(part);
  const std::string name(b.begin() + 370, b.begin() + 386);
  // A library sound sent into the part is named "FactN".
  if (name.rfind("Fact", 0) == 0) {
    if (bank) *bank = 0;
    return std::atoi(name.c_str() + 4);
  }
  if (name.rfind("SOUND ", 0) != 0) return -1;
  if (bank) *bank = name[6] - 'A';
  return std::stoi(name.substr(7, 2));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--bank") return writeBank(argv[2]);
  if (argc != 3) return 2;
  gLog = std::fopen(argv[2], "w");
  // The plug-in's own prints go beside the log; stdout carries the answers.
  FILE* answers = fdopen(dup(1), "w");
  {
    const int plugOut = open((std::string(argv[2]) + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(plugOut, 1);
    close(plugOut);
  }
  SimulatedInstrument inst(0);
  // The instrument's local control, as its global block tells the editor.
  const bool localOn = std::getenv("RIG_LOCAL") && std::string(std::getenv("RIG_LOCAL")) == "1";
  inst.receive({0xF0, 0x3E, 0x10, 0x00, 0x24, 0x00, 26, static_cast<uint8_t>(localOn ? 1 : 0), 0xF7});
  // It takes program changes (RX PROG CHG on).
  inst.receive({0xF0, 0x3E, 0x10, 0x00, 0x24, 0x00, 57, 1, 0xF7});
  if (const char* ch = std::getenv("RIG_GLOBALCH")) inst.setGlobalChannel(std::atoi(ch) - 1);
  Port port;
  jack_status_t status{};
  const char* clientName = std::getenv("RIG_NAME") ? std::getenv("RIG_NAME") : "TvxInstrument";
  port.client = jack_client_open(clientName, JackNoStartServer, &status);
  if (!port.client) return 3;
  port.in = jack_port_register(port.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  port.out = jack_port_register(port.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(port.client, Port::process, &port);
  jack_activate(port.client);
  std::atomic<bool> stop{false};
  const auto toPlug = [&](const std::vector<uint8_t>& m, char tag) {
    logLine(tag, m);
    std::lock_guard<std::mutex> lock(port.mutex);
    port.toPlug.push_back(m);
  };
  InstrumentLink link(inst, [&](const SimBytes& reply) { toPlug(reply, 'A'); });
  std::thread pump([&] {
    Splitter split;
    while (!stop) {
      std::deque<std::vector<uint8_t>> got;
      std::deque<unsigned long> cycles;
      std::deque<std::pair<unsigned long, std::vector<uint8_t>>> written;
      {
        std::lock_guard<std::mutex> lock(port.mutex);
        got.swap(port.fromPlug);
        cycles.swap(port.fromCycles);
        written.swap(port.written);
      }
      for (auto& [c, m] : written) logLine('W', m, "@" + std::to_string(c));
      for (size_t i = 0; i < got.size(); ++i)
        split.feed(got[i], [&](const std::vector<uint8_t>& m) {
          if (m.size() == 1 && m[0] >= 0xF8) return;
          logLine('R', m, "@" + std::to_string(cycles[i]));
          link.deliver(m);
        });
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });

  // "-" for no plug-in: the instrument alone, for a host of its own (a DAW).
  const bool withPlug = std::string(argv[1]) != "-";
  std::unique_ptr<TestHost> hostOwner;
  Display* display = nullptr;
  std::mutex hostMutex;
  std::deque<std::vector<uint8_t>> hostQueue;
  // Calls a host makes on its GUI thread, run by the window's loop.
  std::mutex guiMutex;
  std::deque<std::function<void()>> guiQueue;
  const auto onGui = [&](std::function<void()> f) {
    auto done = std::make_shared<std::promise<void>>();
    auto fut = done->get_future();
    {
      std::lock_guard<std::mutex> lock(guiMutex);
      guiQueue.push_back([f, done] { f(); done->set_value(); });
    }
    fut.wait();
  };
  std::thread audio;
  if (withPlug) {
  hostOwner = std::make_unique<TestHost>(argv[1]);
  TestHost& host = *hostOwner;
  if (!host.Loaded() || !host.Create()) {
    std::fprintf(stderr, "load: %s\n", host.LoadError().c_str());
    return 4;
  }
  host.Dispatch(effOpen);
  host.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  host.Dispatch(effSetBlockSize, 0, 256);
  host.Dispatch(effMainsChanged, 0, 1);

  display = XOpenDisplay(nullptr);
  if (!display) return 5;
  ERect* rect = nullptr;
  host.Dispatch(effEditGetRect, 0, 0, &rect);
  const int w = rect ? rect->right - rect->left : 800, h = rect ? rect->bottom - rect->top : 600;
  Window win = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(w),
                                   static_cast<unsigned>(h), 0, 0, 0);
  XStoreName(display, win, "TvxRig");
  XMapWindow(display, win);
  XSync(display, False);
  host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(win));
  std::fprintf(answers, "window %lu %d %d\n", win, w, h);
  std::fflush(answers);

  // The host's audio thread: events then a block, every 256 frames.
  audio = std::thread([&host, &stop, &hostMutex, &hostQueue] {
    auto next = Clock::now();
    while (!stop) {
      next += std::chrono::microseconds(5333);
      std::vector<std::vector<unsigned char>> batch;
      {
        std::lock_guard<std::mutex> lock(hostMutex);
        while (!hostQueue.empty()) {
          batch.push_back(hostQueue.front());
          hostQueue.pop_front();
        }
      }
      if (!batch.empty()) {
        for (auto& m : batch) logLine('H', m);
        HostEventList list(batch);
        host.Dispatch(effProcessEvents, 0, 0, list.events());
      }
      host.RunBlock(TestHost::Process::kReplacing, 256, 0.0);
      std::this_thread::sleep_until(next);
    }
  });
  } else {
    std::fprintf(answers, "window 0 0 0\n");
    std::fflush(answers);
  }
  const auto hostSend = [&](std::vector<std::vector<uint8_t>> msgs) {
    std::lock_guard<std::mutex> lock(hostMutex);
    for (auto& m : msgs) hostQueue.push_back(m);
  };

  bool local = localOn;
  std::atomic<bool> quit{false};
  std::thread commands([&] {
    std::string line;
    while (!quit && std::getline(std::cin, line)) {
      std::istringstream in(line);
      std::string cmd;
      in >> cmd;
      if (cmd == "quit") {
        quit = true;
      } else if (cmd == "wait") {
        int ms = 0;
        in >> ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      } else if (cmd == "mark") {
        std::string rest;
        std::getline(in, rest);
        logLine('M', {}, rest);
      } else if (cmd == "local") {
        int v = 1;
        in >> v;
        local = v != 0;
      } else if (cmd == "inst") {
        toPlug(hexBytes(in), 'I');
      } else if (cmd == "own") {  // own PART BANK PROG: the instrument's own pick, not sent
        int part, bank, prog;
        in >> part >> bank >> prog;
        inst.receive({static_cast<uint8_t>(0xB0 + part), 32, static_cast<uint8_t>(64 + bank)});
        inst.receive({static_cast<uint8_t>(0xC0 + part), static_cast<uint8_t>(prog)});
      } else if (cmd == "host") {
        std::vector<uint8_t> all = hexBytes(in);
        std::vector<std::vector<uint8_t>> msgs;
        for (size_t i = 0; i < all.size();) {
          const size_t n = (all[i] & 0xF0) == 0xC0 ? 2 : 3;
          msgs.emplace_back(all.begin() + static_cast<long>(i), all.begin() + static_cast<long>(std::min(all.size(), i + n)));
          i += n;
        }
        hostSend(msgs);
      } else if (cmd == "burst") {
        std::string road;
        int part, n, gap, first, step;
        std::string banks;
        in >> road >> part >> n >> gap >> first >> step >> banks;
        const uint8_t ch = static_cast<uint8_t>(part);
        auto due = Clock::now();
        for (int k = 0; k < n; ++k) {
          std::this_thread::sleep_until(due);
          due += std::chrono::milliseconds(gap);
          int prog = first + k * step;
          const int bank = banks.empty() ? 0 : banks[static_cast<size_t>(k) % banks.size()] - '0';
          std::string note = "pick " + std::to_string(k) + " bank " + std::to_string(bank) + " prog ";
          if (road == "knob") {
            int pb = 0;
            prog = multiProgram(inst, part, &pb) + 1;
            note = "pick " + std::to_string(k) + " bank " + std::to_string(pb) + " prog ";
          }
          logLine('P', {}, note + std::to_string(prog));
          const bool instrumentSide = road == "ipc" || road == "ipcb" || road == "rep" || road == "knob";
          if (instrumentSide && local) {
            int pb = bank;
            if (road == "knob") multiProgram(inst, part, &pb);
            inst.receive({static_cast<uint8_t>(0xB0 + ch), 32, static_cast<uint8_t>(64 + pb)});
            inst.receive({static_cast<uint8_t>(0xC0 + ch), static_cast<uint8_t>(prog)});
          }
          const uint8_t p = static_cast<uint8_t>(prog);
          if (road == "ipc" || road == "knob") {
            toPlug({static_cast<uint8_t>(0xC0 + ch), p}, 'I');
          } else if (road == "ipcb") {
            toPlug({static_cast<uint8_t>(0xB0 + ch), 0, 0}, 'I');
            toPlug({static_cast<uint8_t>(0xB0 + ch), 32, static_cast<uint8_t>(64 + bank)}, 'I');
            toPlug({static_cast<uint8_t>(0xC0 + ch), p}, 'I');
          } else if (road == "rep") {
            // The multi's part block: bank at 32 + 22 * part, program after it.
            const int at = 32 + 22 * part + 1;
            toPlug({0xF0, 0x3E, 0x10, 0x00, 0x21, static_cast<uint8_t>(at / 128), static_cast<uint8_t>(at % 128), p, 0xF7},
                   'I');
          } else if (road == "host") {
            hostSend({{static_cast<uint8_t>(0xC0 + ch), p}});
          } else if (road == "hostb") {
            hostSend({{static_cast<uint8_t>(0xB0 + ch), 0, 0},
                      {static_cast<uint8_t>(0xB0 + ch), 32, static_cast<uint8_t>(64 + bank)},
                      {static_cast<uint8_t>(0xC0 + ch), p}});
          }
        }
      } else if (cmd == "state") {
        int part = 1, bank = -1;
        in >> part;
        const int prog = playingProgram(inst, part, &bank);
        const SimBytes b = inst.partBuffer(part);
        const SimBytes multi = inst.multiBuffer();
        const size_t at = 7 + 32 + 22 * static_cast<size_t>(part);
        std::string name(b.begin() + 370, b.begin() + 386);
        std::fprintf(answers, "state part %d plays bank %d prog %d name '%s' multi %d %d\n", part + 1, bank, prog,
                     name.c_str(), multi[at], multi[at + 1]);
        logLine('S', {}, "part " + std::to_string(part + 1) + " bank " + std::to_string(bank) + " prog " +
                             std::to_string(prog) + " name " + name);
      } else if (cmd == "unplug") {  // the instrument's ports go away
        port.plugged = false;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        jack_port_unregister(port.client, port.in);
        jack_port_unregister(port.client, port.out);
        logLine('M', {}, "unplugged");
      } else if (cmd == "plug") {
        port.in = jack_port_register(port.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        port.out = jack_port_register(port.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        port.plugged = true;
        logLine('M', {}, "plugged");
      } else if (cmd == "delay") {
        int ms = 0;
        in >> ms;
        inst.setReplyDelayMs(ms);
      } else if (cmd == "silent") {  // silent 0|1: requests go unanswered
        int v = 0;
        in >> v;
        inst.setSilent(v != 0);
      } else if (cmd == "twice") {  // twice MS: each answer again MS later (-1: once)
        int ms = -1;
        in >> ms;
        inst.setAnswersTwice(ms);
      } else if (cmd == "reports") {
        int v = 0;
        in >> v;
        inst.setReportsProgramChanges(v != 0);
      } else if (cmd == "panel") {
        int part, bank, prog;
        in >> part >> bank >> prog;
        for (auto& m : inst.pickOnPanel(part, bank, prog)) toPlug(m, 'I');
      } else if (cmd == "soundknob") {
        int part, pos, value;
        in >> part >> pos >> value;
        toPlug(inst.turnSoundKnob(part, pos, value), 'I');
      } else if (cmd == "getchunk" && withPlug) {
        std::string file;
        in >> file;
        std::vector<uint8_t> bytes;
        onGui([&] { bytes = hostOwner->GetChunk(false); });
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        std::fprintf(answers, "chunk %zu\n", bytes.size());
      } else if (cmd == "setchunk" && withPlug) {
        std::string file;
        in >> file;
        std::ifstream f(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        logLine('M', {}, "setchunk " + std::to_string(bytes.size()));
        VstIntPtr r = 0;
        onGui([&] { r = hostOwner->SetChunk(false, bytes); });
        logLine('M', {}, "setchunk returned " + std::to_string(r));
      } else if (cmd == "storemultis") {
        const SimBytes base = inst.multiBuffer();
        for (int n = 0; n < 100; ++n) {
          SimBytes stored = base;
          stored[5] = 0;
          stored[6] = static_cast<uint8_t>(n);
          for (int p = 0; p < 16; ++p) {
            const size_t block = 7 + 32 + 22 * static_cast<size_t>(p);
            stored[block] = static_cast<uint8_t>((n + p) % 3);
            stored[block + 1] = static_cast<uint8_t>(5 * p + n % 5);
          }
          char name[17];
          std::snprintf(name, sizeof name, "STORED MULTI %02d ", n);
          std::copy(name, name + 16, stored.begin() + 23);
          sim::writeFrameChecksum(stored.data(), stored.size());
          inst.receive(stored);
        }
      } else if (cmd == "multistate") {
        const SimBytes multi = inst.multiBuffer();
        std::string text = "multi '" + std::string(multi.begin() + 23, multi.begin() + 39) + "'";
        for (int p = 0; p < 16; ++p) {
          const size_t block = 7 + 32 + 22 * static_cast<size_t>(p);
          text += " " + std::to_string(p + 1) + ":" + std::to_string(multi[block]) + "/" + std::to_string(multi[block + 1]);
        }
        std::fprintf(answers, "%s\n", text.c_str());
        logLine('S', {}, text);
      } else if (cmd == "idle") {
        int ms = 1000;
        in >> ms;
        std::fprintf(answers, "idle %s\n", link.waitIdle(ms) ? "yes" : "no");
      }
      std::fprintf(answers, "ok\n");
      std::fflush(answers);
    }
    quit = true;
  });
  // The window's idle calls on this (the host's GUI) thread.
  while (!quit && !withPlug) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  while (!quit) {
    TestHost& host = *hostOwner;
    {
      std::deque<std::function<void()>> calls;
      {
        std::lock_guard<std::mutex> lock(guiMutex);
        calls.swap(guiQueue);
      }
      for (auto& f : calls) f();
    }
    host.Dispatch(effEditIdle);
    while (XPending(display)) {
      XEvent e;
      XNextEvent(display, &e);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  stop = true;
  if (withPlug) {
    // The close's own time, apart from the instrument's client close after it.
    logLine('M', {}, "close begins");
    hostOwner->Dispatch(effEditClose);
    audio.join();
    hostOwner->Dispatch(effMainsChanged, 0, 0);
    hostOwner->Close();
    logLine('M', {}, "plugin closed");
  }
  pump.join();
  commands.join();
  jack_client_close(port.client);
  return 0;
}
