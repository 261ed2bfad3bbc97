#pragma once
// The serial port to the ECU: fixed line settings, exact-count reads and writes within a short
// time-out, purge and clear, DTR/RTS out, CTS/DSR/CD in. The system calls live in a device
// backend: a POSIX terminal device, or the built-in simulated ECU.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TSimEcu;

// ---------------------------------------------------------------------------------------------
// Diagnostics ("debugger output") of one port and the thread that uses it: silent unless switched
// on, then on standard error. The environment variable REVSCOPE_DEBUG (any value but "0")
// switches it on when the port is made.

class TDebugOutput {
 public:
  TDebugOutput();
  void SetEnabled(bool on) { enabled_.store(on, std::memory_order_relaxed); }
  bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }
  // Receives every diagnostic line whether or not output is enabled (tests); empty to remove.
  void SetSink(std::function<void(const std::string&)> sink);
  void Write(const std::string& line);

 private:
  std::atomic<bool> enabled_{false};  // any thread
  std::mutex mutex_;                  // guards sink_, set by the owner, called by the port's users
  std::function<void(const std::string&)> sink_;
};

// ---------------------------------------------------------------------------------------------
// Port names COM1..COM8 and the devices behind them.

// The device for "COM1".."COM8" (index 0..7; any other index is COM1): key "COMn" of section
// "Serial" in the per-machine settings file, else the default (ComPortDefaultDevice).
std::string ComPortDevicePath(uint8_t index, const std::string& machineSettingsPath);
std::string ComPortDefaultDevice(uint8_t index);
// The device a name given by the user stands for: "COM1".."COM8" (any case) through the map
// above, "sim" for the built-in simulated ECU, anything else as it stands.
std::string ResolvePortName(const std::string& name, const std::string& machineSettingsPath);
// The device path that selects the built-in simulated ECU.
inline const char* SimulatedDevicePath() { return "sim"; }

// ---------------------------------------------------------------------------------------------
// Device backends. Every call returns a failure with errno set to the system's reason.

struct TLineSettings {
  int BaudRate = 19200;
  bool ParityEnabled = false;
  bool OddParity = true;
  bool CTSFlowControl = false;
  int TimeoutMs = 100;
};

enum : unsigned { MODEM_CTS = 1, MODEM_DSR = 2, MODEM_CD = 4 };

class TComDevice {
 public:
  virtual ~TComDevice() = default;

  // The steps of opening: the device itself, then the line settings, time-outs and queue sizes.
  virtual bool OpenDevice() = 0;
  virtual bool ApplyLineSettings(const TLineSettings& settings) = 0;
  virtual bool ApplyTimeouts(const TLineSettings& settings) = 0;
  virtual bool SetQueueSizes(int input, int output) = 0;
  virtual bool CloseDevice() = 0;

  // Up to count bytes, waiting at most timeoutMs in all; the bytes read, or -1 on a failure
  // (a hang-up or a vanished device is a failure, not a time-out).
  virtual int Read(uint8_t* buffer, int count, int timeoutMs) = 0;
  // Up to count bytes within timeoutMs; the bytes written, or -1.
  virtual int Write(const uint8_t* buffer, int count, int timeoutMs) = 0;
  virtual bool Flush() = 0;
  // Bytes waiting in the input queue, or -1.
  virtual int InQueue() = 0;
  virtual bool ClearError() = 0;
  virtual bool Purge() = 0;
  virtual bool SetDTR(bool on) = 0;
  virtual bool SetRTS(bool on) = 0;
  // The MODEM_ bits; false when the device cannot report its lines.
  virtual bool ModemStatus(unsigned& bits) = 0;
};

// A terminal device (a serial port, a USB adapter, a pseudo-terminal) through termios.
class TTermiosDevice : public TComDevice {
 public:
  explicit TTermiosDevice(std::string path) : path_(std::move(path)) {}
  ~TTermiosDevice() override;

  const std::string& Path() const { return path_; }
  // How long a modem-status reading is reused: on USB adapters every reading is a round trip to
  // the adapter. 0 reads the lines afresh every time.
  void SetModemCacheMs(int ms) { modemCacheNs_ = static_cast<int64_t>(ms) * 1000000; }
  // System calls made so far (the benchmark's measure of the cost of an exchange).
  uint64_t SystemCalls() const { return systemCalls_.load(std::memory_order_relaxed); }

  bool OpenDevice() override;
  bool ApplyLineSettings(const TLineSettings& settings) override;
  bool ApplyTimeouts(const TLineSettings& settings) override;
  bool SetQueueSizes(int input, int output) override;
  bool CloseDevice() override;
  int Read(uint8_t* buffer, int count, int timeoutMs) override;
  int Write(const uint8_t* buffer, int count, int timeoutMs) override;
  bool Flush() override;
  int InQueue() override;
  bool ClearError() override;
  bool Purge() override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  bool ModemStatus(unsigned& bits) override;

 private:
  void Counted() { systemCalls_.fetch_add(1, std::memory_order_relaxed); }
  bool SetLine(int bit, bool on);

  std::string path_;
  int fd_ = -1;
  bool exclusive_ = false;
  // Modem lines: the last reading and when it was taken; a device without modem lines (a
  // pseudo-terminal) is remembered as such until it is closed.
  bool noModemLines_ = false;
  unsigned modemBits_ = 0;
  int64_t modemTakenNs_ = 0;
  bool modemValid_ = false;
  int64_t modemCacheNs_ = 10 * 1000000LL;
  std::atomic<uint64_t> systemCalls_{0};
};

// One request as the simulated line carries it; a test's hook may change the reply.
struct TSimExchange {
  uint8_t Request = 0;
  std::vector<uint8_t> Reply;     // the ECU's answer
  bool DropCTSAfterReply = false;  // CTS clears once the last reply byte has been read
  int ExtraLatencyUs = 0;          // added to the reply latency for this exchange
};

// The built-in simulated ECU as a device: the engine model answers every request, the modem lines
// are set by the caller, and the line may take the time of a real 8N1 line for every byte.
class TSimDevice : public TComDevice {
 public:
  explicit TSimDevice(uint8_t model = 2);
  ~TSimDevice() override;

  // Byte timing of a line at the baud rate (10 bits a byte); 0 delivers at once.
  void SetByteTiming(int baud);
  // Time between the end of a request and the first reply byte.
  void SetReplyLatencyUs(int us);
  // Model time: the engine runs on the monotonic clock since construction, or, with a fixed
  // clock, stands at the given second (tests).
  void SetFixedClock(double seconds);

  void SetCTS(bool on) { cts_.store(on); }
  void SetDSR(bool on) { dsr_.store(on); }
  void SetCD(bool on) { cd_.store(on); }
  // CD set for ms milliseconds from now (a lap beacon).
  void PulseCD(int ms);
  bool CTS() const { return cts_.load(); }
  bool DTR() const { return dtr_.load(); }
  bool RTS() const { return rts_.load(); }
  bool IsOpen() const { return open_.load(); }

  // A vanished device: open fails, and an open one fails every call with EIO.
  void Unplug() { unplugged_.store(true); }
  void Replug() { unplugged_.store(false); }

  // Called for every request byte with the model's answer filled in (under the device's lock).
  using THook = std::function<void(TSimExchange&)>;
  void SetHook(THook hook);
  // Runs work on the engine model under the device's lock.
  void WithEcu(const std::function<void(TSimEcu&)>& work);
  // Request bytes received so far, and the last ones (at most 4096).
  uint64_t Requests() const { return requests_.load(); }
  std::vector<uint8_t> RecentRequests();
  void ClearRecentRequests();
  // Time a reader has spent awake waiting for timed bytes to arrive (see Read).
  uint64_t AwakeWaitNs() const { return awakeNs_.load(); }

  bool OpenDevice() override;
  bool ApplyLineSettings(const TLineSettings& settings) override;
  bool ApplyTimeouts(const TLineSettings& settings) override;
  bool SetQueueSizes(int input, int output) override;
  bool CloseDevice() override;
  int Read(uint8_t* buffer, int count, int timeoutMs) override;
  int Write(const uint8_t* buffer, int count, int timeoutMs) override;
  bool Flush() override;
  int InQueue() override;
  bool ClearError() override;
  bool Purge() override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  bool ModemStatus(unsigned& bits) override;

 private:
  using TClock = std::chrono::steady_clock;
  struct TPending {
    uint8_t Byte;
    TClock::time_point Arrival;
    bool LastOfDropCTS;
  };
  bool Usable();
  double ModelTime(TClock::time_point now) const;

  std::mutex mutex_;
  std::unique_ptr<TSimEcu> ecu_;
  std::deque<TPending> input_;
  THook hook_;
  std::vector<uint8_t> recent_;
  TClock::time_point start_;
  TClock::time_point lineFree_;  // when the request line is idle again
  std::chrono::nanoseconds byteTime_{0};
  std::chrono::microseconds latency_{0};
  double fixedClock_ = -1.0;
  std::atomic<bool> open_{false}, unplugged_{false};
  std::atomic<bool> cts_{true}, dsr_{false}, cd_{false}, dtr_{false}, rts_{false};
  std::atomic<int64_t> cdUntilNs_{0};
  std::atomic<uint64_t> requests_{0};
  std::atomic<uint64_t> awakeNs_{0};
};

// ---------------------------------------------------------------------------------------------

class TComPort {
 public:
  TComPort();
  ~TComPort();
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // Stored for the next open. Index 0..7 selects COM1..COM8, anything else COM1.
  void SetPortIndex(uint8_t index) { portIndex_.store(index); }
  void SetBaudRate(int baud) { baudRate_.store(baud); }
  uint8_t PortIndex() const { return portIndex_.load(); }
  int BaudRate() const { return baudRate_.load(); }
  int TimeoutMs() const { return timeoutMs_.load(); }
  // How long a read or a write may take in all (the ComReadTimeout setting, 100 ms by default),
  // from the next exchange on; kept within 10..10000 ms.
  void SetTimeoutMs(int ms);
  // The port's diagnostics; the poll thread traces its steps here too.
  TDebugOutput Debug;

  // Where the port leads instead of the mapped COM device: a device path, "sim" for the built-in
  // simulated ECU; empty returns to the COM mapping. Used at the next open.
  void SetDevicePath(const std::string& path);
  // A device object to use for every open from now on (tests, the benchmark, the simulator);
  // nullptr returns to the path.
  void SetDevice(std::shared_ptr<TComDevice> device);
  // The per-machine settings file that maps COM1..COM8 (MachineSettingsPath() by default).
  void SetMachineSettingsPath(const std::string& path);
  // The device the next open uses: the set device's description, or the resolved path.
  std::string DevicePath() const;
  // The device object of the open port (or the set device); none otherwise.
  std::shared_ptr<TComDevice> Device() const;

  bool IsOpen() const { return open_.load(std::memory_order_acquire); }
  std::string PortName() const;
  bool Open();
  bool Close();

  bool Read(void* buffer, int count);
  bool Write(const void* buffer, int count);
  bool Flush();
  bool ClearError();
  int InQueue();
  bool PurgeIO();
  // Five byte times at the baud rate, in whole milliseconds rounded up (3 ms at 19200 baud): how
  // long the line must stay silent before whatever was still on its way is taken to be over.
  int GuardMs() const;
  // After a read that timed out: drops what arrives until nothing has come for GuardMs(), or until
  // limitMs have passed (a line that never goes quiet costs at most limitMs plus one guard time),
  // emptying the queues as it goes. False when the line did not go quiet or the device failed.
  bool WaitForQuiet(int limitMs);
  // Whether nothing arrives within GuardMs(); a byte that does is read and dropped.
  bool StaysQuiet();
  bool SetDTR(bool on);
  bool SetRTS(bool on);
  // Read from the device (a device that cannot report its lines reads CTS set, DSR and CD clear).
  // Safe from any thread while another uses the port.
  bool CTS() { return (ModemBits() & MODEM_CTS) != 0; }
  bool DSR() { return (ModemBits() & MODEM_DSR) != 0; }
  bool CD() { return (ModemBits() & MODEM_CD) != 0; }

  // The system's code and text of the last failure (including a failed open), with the device.
  int LastError() const { return lastError_.load(); }
  std::string LastErrorText() const;

 private:
  unsigned ModemBits();
  void Fail(const char* message, bool report);

  std::atomic<uint8_t> portIndex_{0};
  std::atomic<int> baudRate_{19200};
  std::atomic<int> timeoutMs_{100};  // user-interface thread writes, the poll thread reads
  bool parityEnabled_ = false;
  bool oddParity_ = true;
  bool ctsFlowControl_ = false;

  // Guards the device objects and the settings above against the other threads' line queries
  // and configuration; reads and writes run on the owner's thread without it.
  mutable std::mutex mutex_;
  std::string devicePath_;
  std::string machinePath_;
  std::shared_ptr<TComDevice> setDevice_;
  std::shared_ptr<TComDevice> simDevice_;  // the built-in simulated ECU, kept across opens
  std::shared_ptr<TComDevice> device_;     // the open device
  std::string openPath_;                   // what the last open tried
  std::atomic<bool> open_{false};
  std::atomic<int> lastError_{0};
};
