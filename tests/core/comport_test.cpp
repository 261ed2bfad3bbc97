// The serial port: port names and the device map, opening and closing, exact-count transfers with
// the time-out, purge, modem lines, and hang-ups, over a pseudo-terminal and the simulated device.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/IniFile.h"
#include "ecu/ComPort.h"

namespace {

// Collects the port's diagnostic lines for the test's lifetime.
class TDebugCapture {
 public:
  explicit TDebugCapture(TComPort& port) : port_(port) {
    port_.Debug.SetSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(line);
    });
  }
  ~TDebugCapture() { port_.Debug.SetSink({}); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  TComPort& port_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A pseudo-terminal whose controlling side the test plays.
class TPty {
 public:
  TPty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
    path_ = ptsname(master_);
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
  }
  ~TPty() { Close(); }
  const std::string& Path() const { return path_; }
  void Send(const std::string& bytes) { ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // What the port sent, waiting up to 1 s for n bytes.
  std::string Receive(size_t n) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (got.size() < n && std::chrono::steady_clock::now() < until) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buf[64];
      ssize_t r = read(master_, buf, sizeof buf);
      if (r > 0) got.append(buf, size_t(r));
    }
    return got;
  }
  void Close() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

double MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Names and the device map

TEST(ComPortNames, IndexSelectsCom1ToCom8AndAnythingElseCom1) {
  TComPort port;
  EXPECT_EQ(port.PortName(), "COM1");
  port.SetPortIndex(7);
  EXPECT_EQ(port.PortName(), "COM8");
  port.SetPortIndex(8);
  EXPECT_EQ(port.PortName(), "COM1");
  port.SetPortIndex(255);
  EXPECT_EQ(port.PortName(), "COM1");
}

TEST(ComPortNames, DefaultsApplyWithoutSettingsAndTheSerialSectionOverridesThem) {
  TTempDir dir;
  const std::string machine = dir.File("Settings.ini");
  EXPECT_EQ(ComPortDevicePath(0, machine), "/dev/ttyUSB0");
  EXPECT_EQ(ComPortDevicePath(2, machine), "/dev/ttyS0");
  EXPECT_EQ(ComPortDevicePath(6, machine), "/dev/ttyACM0");
  EXPECT_EQ(ComPortDevicePath(9, machine), "/dev/ttyUSB0");

  TIniFile ini;
  ini.WriteString("serial", "com2", "  /dev/ttyXR7 ");
  ini.WriteString("Serial", "COM8", "sim");
  ini.WriteInteger("Serial", "ComPort", 1);
  ASSERT_TRUE(ini.Save(machine));
  EXPECT_EQ(ComPortDevicePath(1, machine), "/dev/ttyXR7");
  EXPECT_EQ(ComPortDevicePath(7, machine), "sim");
  EXPECT_EQ(ComPortDevicePath(0, machine), "/dev/ttyUSB0");

  EXPECT_EQ(ResolvePortName("com2", machine), "/dev/ttyXR7");
  EXPECT_EQ(ResolvePortName("COM3", machine), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortName("COM9", machine), "COM9");
  EXPECT_EQ(ResolvePortName("/dev/pts/4", machine), "/dev/pts/4");
  EXPECT_EQ(ResolvePortName("sim", machine), "sim");

  TComPort port;
  port.SetMachineSettingsPath(machine);
  port.SetPortIndex(1);
  EXPECT_EQ(port.DevicePath(), "/dev/ttyXR7");
  port.SetDevicePath("/dev/ttyUSB5");
  EXPECT_EQ(port.DevicePath(), "/dev/ttyUSB5");
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

TEST(ComPortOpen, AMissingDeviceFailsWithTheSystemsReasonAndNoMessage) {
  TComPort port;
  TDebugCapture debug(port);
  port.SetDevicePath("/dev/revscope-no-such-port");
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError(), ENOENT);
  EXPECT_EQ(port.LastErrorText(), "/dev/revscope-no-such-port: " + std::string(strerror(ENOENT)));
  EXPECT_TRUE(debug.Lines().empty());
}

TEST(ComPortOpen, AFileThatIsNotATerminalIsRefusedAndLeftClosed) {
  TTempDir dir;
  WriteFileBytes(dir.File("plain"), "x");
  TComPort port;
  TDebugCapture debug(port);
  port.SetDevicePath(dir.File("plain"));
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError(), ENOTTY);
  auto lines = debug.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "TComPort - tcsetattr failed");
  EXPECT_EQ(lines[1], strerror(ENOTTY));
}

TEST(ComPortOpen, CloseOnAClosedPortReturnsFalseAndTransfersFail) {
  TComPort port;
  EXPECT_FALSE(port.Close());
  uint8_t b = 0;
  EXPECT_FALSE(port.Read(&b, 1));
  EXPECT_FALSE(port.Write(&b, 1));
  EXPECT_FALSE(port.CTS());
  EXPECT_EQ(port.InQueue(), 0);
}

TEST(ComPortOpen, ASecondOpenIsRefusedAndLeavesTheOpenPortWorking) {
  TPty pty;
  TComPort port;
  port.SetDevicePath(pty.Path());
  ASSERT_TRUE(port.Open());
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(port.IsOpen());
  uint8_t b = 0x42;
  EXPECT_TRUE(port.Write(&b, 1));
  EXPECT_EQ(pty.Receive(1), "B");
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.Close());
}

TEST(ComPortOpen, TheDeviceIsNotSharedWhileOpen) {
  if (geteuid() == 0) GTEST_SKIP() << "the administrator may open an exclusive terminal anyway";
  TPty pty;
  TComPort first, second;
  first.SetDevicePath(pty.Path());
  second.SetDevicePath(pty.Path());
  ASSERT_TRUE(first.Open());
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.LastError(), EBUSY);
  first.Close();
  EXPECT_TRUE(second.Open());
}

// ---------------------------------------------------------------------------------------------
// Transfers over a pseudo-terminal

TEST(ComPortPty, ReadsExactlyTheCountAskedFor) {
  TPty pty;
  TComPort port;
  port.SetDevicePath(pty.Path());
  ASSERT_TRUE(port.Open());
  pty.Send(std::string("\x12\x34\x56", 3));
  uint8_t buf[2] = {0xFF, 0xFF};
  ASSERT_TRUE(port.Read(buf, 2));
  EXPECT_EQ(buf[0], 0x12);
  EXPECT_EQ(buf[1], 0x34);
  ASSERT_TRUE(port.Read(buf, 1));
  EXPECT_EQ(buf[0], 0x56);
}

TEST(ComPortPty, AReadWithNothingArrivingTimesOutAfterAbout100MsWithoutAMessage) {
  TPty pty;
  TComPort port;
  TDebugCapture debug(port);
  port.SetDevicePath(pty.Path());
  ASSERT_TRUE(port.Open());
  uint8_t b = 0xFF;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Read(&b, 1));
  double ms = MsSince(t0);
  EXPECT_GE(ms, 95.0);
  EXPECT_LT(ms, 400.0);
  EXPECT_EQ(b, 0xFF);
  // Two bytes asked for, one arriving: still within the one time-out, and a failure.
  pty.Send("A");
  uint8_t two[2];
  t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Read(two, 2));
  EXPECT_LT(MsSince(t0), 400.0);
  EXPECT_TRUE(debug.Lines().empty());
}

TEST(ComPortPty, PurgeEmptiesTheInputQueue) {
  TPty pty;
  TComPort port;
  port.SetDevicePath(pty.Path());
  ASSERT_TRUE(port.Open());
  pty.Send("abcd");
  for (int i = 0; i < 100 && port.InQueue() < 4; ++i) usleep(1000);
  EXPECT_EQ(port.InQueue(), 4);
  EXPECT_TRUE(port.PurgeIO());
  EXPECT_EQ(port.InQueue(), 0);
  EXPECT_TRUE(port.ClearError());
}

TEST(ComPortPty, APseudoTerminalReadsCtsSetAndDsrAndCdClear) {
  TPty pty;
  TComPort port;
  port.SetDevicePath(pty.Path());
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(port.CTS());
  EXPECT_FALSE(port.DSR());
  EXPECT_FALSE(port.CD());
  EXPECT_TRUE(port.Flush());
}

TEST(ComPortPty, AHangUpFailsReadsAndWritesAtOnceWithTheSystemsText) {
  TPty pty;
  TComPort port;
  TDebugCapture debug(port);
  port.SetDevicePath(pty.Path());
  ASSERT_TRUE(port.Open());
  pty.Close();
  uint8_t b = 0;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Read(&b, 1));
  EXPECT_LT(MsSince(t0), 95.0);  // no time-out wait: the other side is gone
  EXPECT_FALSE(port.Write(&b, 1));
  EXPECT_TRUE(port.CTS());  // the lines cannot be read: the exchanges themselves fail
  auto lines = debug.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "TComPort - read failed");
  EXPECT_EQ(lines[1], strerror(EIO));
  EXPECT_EQ(lines[2], "TComPort - write failed");
  EXPECT_EQ(port.LastError(), EIO);
  EXPECT_TRUE(port.Close());
}

// ---------------------------------------------------------------------------------------------
// The simulated device

TEST(ComPortSim, TheModemLinesAreTheSimulatorsAndDtrRtsReachIt) {
  auto sim = std::make_shared<TSimDevice>();
  TComPort port;
  port.SetDevice(sim);
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(port.CTS());
  sim->SetCTS(false);
  sim->SetDSR(true);
  EXPECT_FALSE(port.CTS());
  EXPECT_TRUE(port.DSR());
  EXPECT_FALSE(port.CD());
  sim->PulseCD(200);
  EXPECT_TRUE(port.CD());
  EXPECT_FALSE(sim->DTR());
  EXPECT_TRUE(port.SetDTR(true));
  EXPECT_TRUE(port.SetRTS(true));
  EXPECT_TRUE(sim->DTR());
  EXPECT_TRUE(sim->RTS());
  EXPECT_TRUE(port.SetDTR(false));
  EXPECT_FALSE(sim->DTR());
  port.Close();
  EXPECT_FALSE(sim->IsOpen());
}

TEST(ComPortSim, RequestsAreAnsweredAndStaleBytesPurged) {
  auto sim = std::make_shared<TSimDevice>(4);
  TComPort port;
  port.SetDevice(sim);
  ASSERT_TRUE(port.Open());
  uint8_t req = 0xFE, reply = 0;
  ASSERT_TRUE(port.Write(&req, 1));
  ASSERT_TRUE(port.Read(&reply, 1));
  EXPECT_EQ(reply, 4);
  ASSERT_TRUE(port.Write(&req, 1));
  ASSERT_TRUE(port.Write(&req, 1));
  EXPECT_EQ(port.InQueue(), 2);
  EXPECT_TRUE(port.PurgeIO());
  EXPECT_EQ(port.InQueue(), 0);
  EXPECT_EQ(sim->Requests(), 3u);
}

TEST(ComPortSim, ByteTimingDelaysTheReplyByTheLineTime) {
  auto sim = std::make_shared<TSimDevice>();
  sim->SetByteTiming(19200);
  sim->SetReplyLatencyUs(2000);
  TComPort port;
  port.SetDevice(sim);
  ASSERT_TRUE(port.Open());
  uint8_t req = 0xFE, reply = 0;
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(port.Write(&req, 1));
  EXPECT_EQ(port.InQueue(), 0);  // still on the wire
  ASSERT_TRUE(port.Read(&reply, 1));
  // One byte each way (2 x 0.52 ms) plus the latency.
  EXPECT_GE(MsSince(t0), 3.0);
  EXPECT_EQ(reply, 2);
}

TEST(ComPortSim, WaitingForQuietDropsABurstAndGivesUpOnALineThatKeepsTalking) {
  auto sim = std::make_shared<TSimDevice>();
  sim->SetByteTiming(19200);
  size_t length = 20;
  sim->SetHook([&](TSimExchange& ex) { ex.Reply.assign(length, 0x55); });
  TComPort port;
  port.SetDevice(sim);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(port.GuardMs(), 3);  // five byte times at 19200 baud
  uint8_t req = 0x03, b = 0;
  ASSERT_TRUE(port.Write(&req, 1));
  EXPECT_TRUE(port.WaitForQuiet(1000));
  EXPECT_EQ(port.InQueue(), 0);
  EXPECT_TRUE(port.StaysQuiet());
  // About a second of chatter: the wait ends at its limit with the line still busy.
  length = 2000;
  ASSERT_TRUE(port.Write(&req, 1));
  EXPECT_FALSE(port.WaitForQuiet(20));
  EXPECT_FALSE(port.StaysQuiet());
  EXPECT_TRUE(port.Read(&b, 1));
}

TEST(ComPortSim, AnUnpluggedDeviceFailsEveryCallAndCannotBeOpened) {
  auto sim = std::make_shared<TSimDevice>();
  TComPort port;
  TDebugCapture debug(port);
  port.SetDevice(sim);
  ASSERT_TRUE(port.Open());
  sim->Unplug();
  uint8_t b = 0xFE;
  EXPECT_FALSE(port.Write(&b, 1));
  EXPECT_FALSE(port.Read(&b, 1));
  EXPECT_FALSE(port.PurgeIO());
  EXPECT_TRUE(port.CTS());
  EXPECT_EQ(port.LastError(), EIO);
  auto lines = debug.Lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "TComPort - write failed");
  EXPECT_EQ(lines[2], "TComPort - read failed");
  EXPECT_EQ(lines[4], "TComPort::PurgeIO - tcflush failed");
  port.Close();
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.LastError(), ENOENT);
  sim->Replug();
  EXPECT_TRUE(port.Open());
}
