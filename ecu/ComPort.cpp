#include "ecu/ComPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "base/IniFile.h"
#include "base/Paths.h"
#include "ecu/SimEcu.h"

// ---------------------------------------------------------------------------------------------
// Diagnostics

namespace {

int64_t MonotonicNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

TDebugOutput::TDebugOutput() {
  const char* env = std::getenv("REVSCOPE_DEBUG");
  enabled_.store(env && *env && std::strcmp(env, "0") != 0);
}

void TDebugOutput::SetSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = std::move(sink);
}

void TDebugOutput::Write(const std::string& line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sink_) sink_(line);
  }
  if (Enabled()) std::fprintf(stderr, "%s\n", line.c_str());
}

// ---------------------------------------------------------------------------------------------
// Port names

std::string ComPortDefaultDevice(uint8_t index) {
  static const char* const kDefaults[8] = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0",   "/dev/ttyS1",
                                           "/dev/ttyUSB2", "/dev/ttyUSB3", "/dev/ttyACM0", "/dev/ttyACM1"};
  return kDefaults[index < 8 ? index : 0];
}

std::string ComPortDevicePath(uint8_t index, const std::string& machineSettingsPath) {
  if (index >= 8) index = 0;
  std::string def = ComPortDefaultDevice(index);
  TIniFile ini;
  if (machineSettingsPath.empty() || !ini.Load(machineSettingsPath)) return def;
  std::string path = ini.ReadString("Serial", "COM" + std::to_string(index + 1), def);
  // Trim the blanks an edited file may carry.
  size_t b = path.find_first_not_of(" \t");
  size_t e = path.find_last_not_of(" \t\r");
  if (b == std::string::npos) return def;
  return path.substr(b, e - b + 1);
}

std::string ResolvePortName(const std::string& name, const std::string& machineSettingsPath) {
  if (name.size() == 4 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
      (name[2] == 'M' || name[2] == 'm') && name[3] >= '1' && name[3] <= '8')
    return ComPortDevicePath(static_cast<uint8_t>(name[3] - '1'), machineSettingsPath);
  return name;
}

// ---------------------------------------------------------------------------------------------
// Terminal device

namespace {

speed_t BaudConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
  }
}

// Milliseconds left until the deadline, rounded up, never negative.
int RemainingMs(int64_t deadlineNs) {
  int64_t left = deadlineNs - MonotonicNs();
  if (left <= 0) return 0;
  return static_cast<int>((left + 999999) / 1000000);
}

}  // namespace

TTermiosDevice::~TTermiosDevice() {
  if (fd_ >= 0) CloseDevice();
}

bool TTermiosDevice::OpenDevice() {
  if (fd_ >= 0) {
    errno = EBUSY;
    return false;
  }
  // Never the controlling terminal; non-blocking so that every wait has a time-out.
  Counted();
  int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Not shared: a second open of the device is refused while this one holds it.
  Counted();
  exclusive_ = ::ioctl(fd, TIOCEXCL) == 0;
  fd_ = fd;
  noModemLines_ = false;
  modemValid_ = false;
  return true;
}

bool TTermiosDevice::ApplyLineSettings(const TLineSettings& s) {
  termios t{};
  Counted();
  if (::tcgetattr(fd_, &t) != 0) return false;
  speed_t speed = BaudConstant(s.BaudRate);
  if (speed == 0) {
    errno = EINVAL;
    return false;
  }
  // Raw bytes: no end-of-file or special characters, no translation, no XON/XOFF either way.
  ::cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  if (s.ParityEnabled) {
    t.c_cflag |= PARENB;
    if (s.OddParity) t.c_cflag |= PARODD;
    t.c_iflag |= INPCK;
  }
  if (s.CTSFlowControl) t.c_cflag |= CRTSCTS;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  // Reads never block in the driver: the time-outs are kept by poll.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  Counted();
  return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool TTermiosDevice::ApplyTimeouts(const TLineSettings&) {
  // The time-outs are kept per call; ask the driver to pass short replies on at once (USB
  // adapters otherwise hold them back for their latency timer). Drivers without the flag and
  // pseudo-terminals refuse, which changes nothing.
  serial_struct ss{};
  Counted();
  if (::ioctl(fd_, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
    ss.flags |= ASYNC_LOW_LATENCY;
    Counted();
    ::ioctl(fd_, TIOCSSERIAL, &ss);
  }
  return true;
}

bool TTermiosDevice::SetQueueSizes(int, int) {
  // The terminal driver's queues are its own; nothing to size.
  return true;
}

bool TTermiosDevice::CloseDevice() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  if (exclusive_) {
    Counted();
    ::ioctl(fd_, TIOCNXCL);
  }
  Counted();
  int r = ::close(fd_);
  fd_ = -1;
  exclusive_ = false;
  return r == 0 || errno == EINTR;
}

int TTermiosDevice::Read(uint8_t* buffer, int count, int timeoutMs) {
  const int64_t deadline = MonotonicNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  int got = 0;
  while (got < count) {
    pollfd p{fd_, POLLIN, 0};
    Counted();
    int r = ::poll(&p, 1, RemainingMs(deadline));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;  // time-out
    if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN)) {
      errno = EIO;  // hung up: the device is gone or the other side closed
      return -1;
    }
    Counted();
    ssize_t n = ::read(fd_, buffer + got, static_cast<size_t>(count - got));
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      errno = EIO;  // readable but nothing to read: hung up
      return -1;
    }
    got += static_cast<int>(n);
  }
  return got;
}

int TTermiosDevice::Write(const uint8_t* buffer, int count, int timeoutMs) {
  const int64_t deadline = MonotonicNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  int done = 0;
  while (done < count) {
    Counted();
    ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return -1;
    // The output queue is full: wait for room until the time-out.
    int left = RemainingMs(deadline);
    if (left == 0) break;
    pollfd p{fd_, POLLOUT, 0};
    Counted();
    int r = ::poll(&p, 1, left);
    if (r < 0 && errno != EINTR) return -1;
    if (r == 0) break;
    if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      errno = EIO;
      return -1;
    }
  }
  return done;
}

bool TTermiosDevice::Flush() {
  // The write has handed the bytes to the driver, which sends them at once; every request is
  // followed by a read that waits for the reply anyway. Waiting here for the line to drain would
  // only add the driver's polling delay to each exchange.
  return true;
}

int TTermiosDevice::InQueue() {
  int n = 0;
  Counted();
  if (::ioctl(fd_, FIONREAD, &n) != 0) return -1;
  return n;
}

bool TTermiosDevice::ClearError() {
  // There are no latched line errors to clear here; reading the status still tells whether the
  // device is there.
  int n = 0;
  Counted();
  return ::ioctl(fd_, FIONREAD, &n) == 0;
}

bool TTermiosDevice::Purge() {
  Counted();
  return ::tcflush(fd_, TCIOFLUSH) == 0;
}

bool TTermiosDevice::SetLine(int bit, bool on) {
  Counted();
  int bits = bit;
  return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool TTermiosDevice::SetDTR(bool on) { return SetLine(TIOCM_DTR, on); }
bool TTermiosDevice::SetRTS(bool on) { return SetLine(TIOCM_RTS, on); }

bool TTermiosDevice::ModemStatus(unsigned& bits) {
  if (noModemLines_) return false;
  int64_t now = MonotonicNs();
  if (modemValid_ && now - modemTakenNs_ < modemCacheNs_) {
    bits = modemBits_;
    return true;
  }
  int status = 0;
  Counted();
  if (::ioctl(fd_, TIOCMGET, &status) != 0) {
    // A pseudo-terminal or an adapter without the lines: it never will report them.
    if (errno == ENOTTY || errno == EINVAL) noModemLines_ = true;
    modemValid_ = false;
    return false;
  }
  modemBits_ = ((status & TIOCM_CTS) ? MODEM_CTS : 0u) | ((status & TIOCM_DSR) ? MODEM_DSR : 0u) |
               ((status & TIOCM_CAR) ? MODEM_CD : 0u);
  modemTakenNs_ = now;
  modemValid_ = true;
  bits = modemBits_;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Simulated device

namespace {
constexpr std::chrono::microseconds kAwakeMargin{150};
}  // namespace

TSimDevice::TSimDevice(uint8_t model) : ecu_(std::make_unique<TSimEcu>(model)), start_(TClock::now()) {
  lineFree_ = start_;
}

TSimDevice::~TSimDevice() = default;

void TSimDevice::SetByteTiming(int baud) {
  std::lock_guard<std::mutex> lock(mutex_);
  byteTime_ = baud > 0 ? std::chrono::nanoseconds(10LL * 1000000000 / baud) : std::chrono::nanoseconds(0);
}

void TSimDevice::SetReplyLatencyUs(int us) {
  std::lock_guard<std::mutex> lock(mutex_);
  latency_ = std::chrono::microseconds(us);
}

void TSimDevice::SetFixedClock(double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  fixedClock_ = seconds;
}

void TSimDevice::PulseCD(int ms) {
  cdUntilNs_.store(MonotonicNs() + static_cast<int64_t>(ms) * 1000000);
}

void TSimDevice::SetHook(THook hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

void TSimDevice::WithEcu(const std::function<void(TSimEcu&)>& work) {
  std::lock_guard<std::mutex> lock(mutex_);
  work(*ecu_);
}

std::vector<uint8_t> TSimDevice::RecentRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return recent_;
}

void TSimDevice::ClearRecentRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  recent_.clear();
}

double TSimDevice::ModelTime(TClock::time_point now) const {
  if (fixedClock_ >= 0.0) return fixedClock_;
  return std::chrono::duration<double>(now - start_).count();
}

bool TSimDevice::Usable() {
  if (unplugged_.load()) {
    errno = EIO;
    return false;
  }
  if (!open_.load()) {
    errno = EBADF;
    return false;
  }
  return true;
}

bool TSimDevice::OpenDevice() {
  if (unplugged_.load()) {
    errno = ENOENT;
    return false;
  }
  bool expected = false;
  if (!open_.compare_exchange_strong(expected, true)) {
    errno = EBUSY;
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  input_.clear();
  return true;
}

bool TSimDevice::ApplyLineSettings(const TLineSettings&) { return Usable(); }
bool TSimDevice::ApplyTimeouts(const TLineSettings&) { return Usable(); }
bool TSimDevice::SetQueueSizes(int, int) { return Usable(); }

bool TSimDevice::CloseDevice() {
  bool expected = true;
  if (!open_.compare_exchange_strong(expected, false)) {
    errno = EBADF;
    return false;
  }
  dtr_.store(false);
  rts_.store(false);
  return true;
}

int TSimDevice::Write(const uint8_t* buffer, int count, int) {
  if (!Usable()) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  TClock::time_point now = TClock::now();
  for (int i = 0; i < count; ++i) {
    // The request occupies the line for one byte time; the ECU answers after its latency, each
    // reply byte taking one byte time on the way back.
    lineFree_ = std::max(lineFree_, now) + byteTime_;
    TSimExchange ex;
    ex.Request = buffer[i];
    uint8_t reply[2];
    int n = ecu_->Respond(buffer[i], ModelTime(lineFree_), reply);
    ex.Reply.assign(reply, reply + n);
    if (hook_) hook_(ex);
    requests_.fetch_add(1);
    if (recent_.size() >= 4096) recent_.erase(recent_.begin(), recent_.begin() + 2048);
    recent_.push_back(buffer[i]);
    TClock::time_point at = lineFree_ + latency_ + std::chrono::microseconds(ex.ExtraLatencyUs);
    for (size_t k = 0; k < ex.Reply.size(); ++k) {
      at += byteTime_;
      input_.push_back({ex.Reply[k], at, ex.DropCTSAfterReply && k + 1 == ex.Reply.size()});
    }
    if (ex.Reply.empty() && ex.DropCTSAfterReply) cts_.store(false);
  }
  return count;
}

int TSimDevice::Read(uint8_t* buffer, int count, int timeoutMs) {
  if (!Usable()) return -1;
  // Replies keep the line's timing only if the reader wakes when they arrive, not up to the
  // default 50 microseconds later.
  static thread_local bool preciseWakeups = false;
  if (!preciseWakeups) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (byteTime_.count() > 0) {
      ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
      preciseWakeups = true;
    }
  }
  const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  int got = 0;
  while (got < count) {
    TClock::time_point wakeAt = deadline;
    bool arrival = false;
    bool timed = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      TClock::time_point now = TClock::now();
      while (got < count && !input_.empty() && input_.front().Arrival <= now) {
        buffer[got++] = input_.front().Byte;
        if (input_.front().LastOfDropCTS) cts_.store(false);
        input_.pop_front();
      }
      if (got == count) break;
      // Wait for the byte still on its way if it comes in time; otherwise until the time-out.
      if (!input_.empty() && input_.front().Arrival < deadline) {
        wakeAt = input_.front().Arrival;
        arrival = true;
      }
      timed = byteTime_.count() > 0;
      if (now >= deadline) break;
    }
    // A sleep ends tens of microseconds late, which at 0.5 ms a byte would slow the line by a
    // tenth: with byte timing the last stretch before a byte arrives is waited out awake, as a
    // receiver would see it.
    TClock::time_point sleepUntil = arrival && timed ? wakeAt - kAwakeMargin : wakeAt;
    if (sleepUntil > TClock::now()) {
      timespec ts{};
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(sleepUntil.time_since_epoch()).count();
      ts.tv_sec = static_cast<time_t>(ns / 1000000000);
      ts.tv_nsec = static_cast<long>(ns % 1000000000);
      while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
      }
    }
    if (arrival && timed) {
      const TClock::time_point t0 = TClock::now();
      TClock::time_point t = t0;
      while (t < wakeAt) t = TClock::now();
      awakeNs_.fetch_add(static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(t - t0).count()));
    }
    if (!Usable()) return -1;
  }
  return got;
}

bool TSimDevice::Flush() { return Usable(); }

int TSimDevice::InQueue() {
  if (!Usable()) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  TClock::time_point now = TClock::now();
  int n = 0;
  for (const TPending& p : input_) {
    if (p.Arrival > now) break;
    ++n;
  }
  return n;
}

bool TSimDevice::ClearError() { return Usable(); }

bool TSimDevice::Purge() {
  if (!Usable()) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  // Whatever has arrived is discarded; bytes still on the wire arrive later.
  TClock::time_point now = TClock::now();
  while (!input_.empty() && input_.front().Arrival <= now) input_.pop_front();
  return true;
}

bool TSimDevice::SetDTR(bool on) {
  if (!Usable()) return false;
  dtr_.store(on);
  return true;
}

bool TSimDevice::SetRTS(bool on) {
  if (!Usable()) return false;
  rts_.store(on);
  return true;
}

bool TSimDevice::ModemStatus(unsigned& bits) {
  if (!Usable()) return false;
  bool cd = cd_.load() || MonotonicNs() < cdUntilNs_.load();
  bits = (cts_.load() ? MODEM_CTS : 0u) | (dsr_.load() ? MODEM_DSR : 0u) | (cd ? MODEM_CD : 0u);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The port

TComPort::TComPort() = default;

TComPort::~TComPort() {
  if (IsOpen()) Close();
}

void TComPort::SetDevicePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  devicePath_ = path;
}

void TComPort::SetDevice(std::shared_ptr<TComDevice> device) {
  std::lock_guard<std::mutex> lock(mutex_);
  setDevice_ = std::move(device);
}

void TComPort::SetMachineSettingsPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  machinePath_ = path;
}

std::string TComPort::PortName() const {
  uint8_t index = portIndex_.load();
  if (index >= 8) index = 0;
  return "COM" + std::to_string(index + 1);
}

std::string TComPort::DevicePath() const {
  std::string path, machine;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (setDevice_) return "(device)";
    path = devicePath_;
    machine = machinePath_;
  }
  if (!path.empty()) return path;
  if (machine.empty()) machine = MachineSettingsPath();
  return ComPortDevicePath(portIndex_.load(), machine);
}

std::shared_ptr<TComDevice> TComPort::Device() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return device_ ? device_ : setDevice_;
}

void TComPort::SetTimeoutMs(int ms) { timeoutMs_.store(std::clamp(ms, 10, 10000)); }

std::string TComPort::LastErrorText() const {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    path = openPath_;
  }
  int e = lastError_.load();
  std::string text = e ? std::strerror(e) : "no error";
  return path.empty() ? text : path + ": " + text;
}

void TComPort::Fail(const char* message, bool report) {
  // The system's error code first, before anything else can change it.
  int e = errno;
  lastError_.store(e);
  if (!report) return;
  Debug.Write(message);
  Debug.Write(std::strerror(e));
}

bool TComPort::Open() {
  if (IsOpen()) return false;  // an open port is left as it is
  const std::string path = DevicePath();
  std::shared_ptr<TComDevice> dev;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    openPath_ = path;
    if (setDevice_) {
      dev = setDevice_;
    } else if (path == SimulatedDevicePath()) {
      if (!simDevice_) {
        // As fast as a real ECU on a real line, no faster.
        auto sim = std::make_shared<TSimDevice>();
        sim->SetByteTiming(baudRate_.load());
        simDevice_ = sim;
      }
      dev = simDevice_;
    } else {
      dev = std::make_shared<TTermiosDevice>(path);
    }
  }
  TLineSettings s;
  s.BaudRate = baudRate_.load();
  s.ParityEnabled = parityEnabled_;
  s.OddParity = oddParity_;
  s.CTSFlowControl = ctsFlowControl_;
  s.TimeoutMs = timeoutMs_.load();
  // The device, for reading and writing, not shared.
  if (!dev->OpenDevice()) {
    Fail("TComPort - open failed", false);
    return false;
  }
  // Line settings.
  if (!dev->ApplyLineSettings(s)) {
    Fail("TComPort - tcsetattr failed", true);
    dev->CloseDevice();
    return false;
  }
  // Time-outs.
  if (!dev->ApplyTimeouts(s)) {
    Fail("TComPort - ioctl(TIOCSSERIAL) failed", false);
    dev->CloseDevice();
    return false;
  }
  // Queue sizes.
  if (!dev->SetQueueSizes(128, 128)) {
    Fail("TComPort - setting the queue sizes failed", false);
    dev->CloseDevice();
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    device_ = dev;
  }
  lastError_.store(0);
  open_.store(true, std::memory_order_release);
  return true;
}

bool TComPort::Close() {
  if (!IsOpen()) return false;
  std::shared_ptr<TComDevice> dev;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dev = std::move(device_);
    device_.reset();
    open_.store(false, std::memory_order_release);
  }
  bool ok = dev->CloseDevice();
  if (!ok) Fail("TComPort - close failed", true);
  return ok;
}

bool TComPort::Read(void* buffer, int count) {
  if (!IsOpen()) return false;
  int n = device_->Read(static_cast<uint8_t*>(buffer), count, timeoutMs_.load());
  if (n < 0) {
    Fail("TComPort - read failed", true);
    return false;
  }
  return n == count;
}

bool TComPort::Write(const void* buffer, int count) {
  if (!IsOpen()) return false;
  int n = device_->Write(static_cast<const uint8_t*>(buffer), count, timeoutMs_.load());
  if (n < 0) {
    Fail("TComPort - write failed", true);
    return false;
  }
  return n == count;
}

bool TComPort::Flush() {
  if (!IsOpen()) return false;
  if (device_->Flush()) return true;
  Fail("TComPort - tcdrain failed", true);
  return false;
}

bool TComPort::ClearError() {
  if (!IsOpen()) return false;
  if (device_->ClearError()) return true;
  Fail("TComPort::ClearError - ioctl(FIONREAD) failed", true);
  return false;
}

int TComPort::InQueue() {
  if (!IsOpen()) return 0;
  int n = device_->InQueue();
  if (n >= 0) return n;
  Fail("TComPort::InQueue - ioctl(FIONREAD) failed", true);
  return 0;
}

bool TComPort::PurgeIO() {
  if (!IsOpen()) return false;
  if (device_->Purge()) return true;
  Fail("TComPort::PurgeIO - tcflush failed", true);
  return false;
}

int TComPort::GuardMs() const {
  constexpr int kGuardBits = 5 * 10;  // five bytes of 8N1
  const int baud = std::max(baudRate_.load(), 1);
  return (kGuardBits * 1000 + baud - 1) / baud;
}

bool TComPort::WaitForQuiet(int limitMs) {
  if (!IsOpen()) return false;
  const int64_t deadline = MonotonicNs() + static_cast<int64_t>(limitMs) * 1000000;
  const int guard = GuardMs();
  for (;;) {
    if (!PurgeIO()) return false;
    uint8_t b;
    const int n = device_->Read(&b, 1, guard);
    if (n < 0) {
      Fail("TComPort::WaitForQuiet - read failed", true);
      return false;
    }
    if (n == 0) return true;
    if (MonotonicNs() >= deadline) {
      PurgeIO();
      return false;
    }
  }
}

bool TComPort::StaysQuiet() {
  if (!IsOpen()) return false;
  uint8_t b;
  const int n = device_->Read(&b, 1, GuardMs());
  if (n < 0) Fail("TComPort::StaysQuiet - read failed", true);
  return n == 0;
}

bool TComPort::SetDTR(bool on) {
  if (!IsOpen()) return false;
  if (device_->SetDTR(on)) return true;
  Fail("TComPort::SetDTR - ioctl(TIOCMBIS/TIOCMBIC) failed", true);
  return false;
}

bool TComPort::SetRTS(bool on) {
  if (!IsOpen()) return false;
  if (device_->SetRTS(on)) return true;
  Fail("TComPort::SetRTS - ioctl(TIOCMBIS/TIOCMBIC) failed", true);
  return false;
}

unsigned TComPort::ModemBits() {
  std::lock_guard<std::mutex> lock(mutex_);
  unsigned bits = 0;
  if (!device_) return 0;  // closed: no lines
  // A device that cannot report its lines (a pseudo-terminal, some adapters, one that vanished):
  // CTS set, DSR and CD clear, so that the exchanges themselves tell whether anyone answers.
  if (!device_->ModemStatus(bits)) return MODEM_CTS;
  return bits;
}
