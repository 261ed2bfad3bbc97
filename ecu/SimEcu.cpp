#include "ecu/SimEcu.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "vars/EcuType.h"

namespace {

// Gearbox and tyres of the simulated car (the settings' defaults).
constexpr double kRatios[6] = {0.0, 3.25, 2.052, 1.416, 1.103, 0.87};
constexpr double kFinal = 4.133;
constexpr double kCircumference = 1.856;  // metres
constexpr double kPi = 3.14159265358979323846;

// Thresholds the ECU reports (rpm).
constexpr double kLaunchRpm = 4500.0;
constexpr double kVtecRpm = 5500.0;
constexpr double kShiftLightRpm = 7000.0;
constexpr double kShiftLimiterRpm = 7600.0;
constexpr double kRevLimitRpm = 7800.0;
// Upshift points per gear; second gear is held on the limiter for a moment.
constexpr double kShiftAt[6] = {0.0, 6800.0, kRevLimitRpm, 6500.0, 5200.0, 0.0};

constexpr double kIdleSeconds = 6.0;
constexpr double kLaunchSeconds = 1.5;
constexpr double kShiftSeconds = 0.35;
constexpr double kCruiseSeconds = 12.0;
constexpr double kCruiseKmh = 100.0;
constexpr double kBrakeDecel = 6.0;  // m/s^2
constexpr double kStep = 0.005;      // seconds per integration step

double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

double RpmForSpeed(double speed, int gear) {
  if (gear < 1 || gear > 5) return 0.0;
  return speed / kCircumference * 60.0 * kRatios[gear] * kFinal;
}

// Air drag and rolling resistance, m/s^2.
double Drag(double speed) { return 0.0004 * speed * speed + (speed > 0.0 ? 0.12 : 0.0); }

// Moves value toward target with time constant tau.
double Follow(double value, double target, double tau, double dt) {
  if (tau <= 0.0) return target;
  return value + (target - value) * (1.0 - std::exp(-dt / tau));
}

uint8_t VoltsByte(double v) { return static_cast<uint8_t>(Clamp(std::trunc(v * 51.2 + 0.5), 0.0, 255.0)); }

uint8_t TempByte(double c) {
  double v = 4.05 - 0.044 * c - 0.00018 * c * c + 0.0000027 * c * c * c;
  return static_cast<uint8_t>(Clamp(std::trunc(v * 51.2), 0.0, 255.0));
}

uint8_t PressureByte(double bar) { return VoltsByte(bar * 2.7248 + 0.1226); }

uint16_t Period(double rpm) {
  if (rpm < 100.0) return 0xFFFF;
  return static_cast<uint16_t>(Clamp(1875000.0 / rpm, 1.0, 65534.0));
}

uint8_t PackedRpm(double rpm) { return static_cast<uint8_t>((static_cast<int>(1875000.0 / rpm) - 187) / 2); }

uint16_t Trim(double percent) { return static_cast<uint16_t>(Clamp(32768.0 * (1.0 + percent / 100.0), 0.0, 65535.0)); }

}  // namespace

TSimEcu::TSimEcu(uint8_t model) : model_(model) {}

uint8_t TSimEcu::Family() const {
  if (model_ == 2 || model_ == 3) return FAMILY_OBD1;
  if (model_ == 4) return FAMILY_ANY;
  return FAMILY_OBD0;
}

uint8_t TSimEcu::Noise(int amplitude) {
  seed_ = seed_ * 1103515245u + 12345u;
  return static_cast<uint8_t>((seed_ >> 16) % static_cast<uint32_t>(2 * amplitude + 1));
}

void TSimEcu::AdvanceTo(double t) {
  while (time_ + kStep <= t) {
    Step(kStep);
    time_ += kStep;
  }
}

void TSimEcu::Step(double dt) {
  TSimEngine& e = engine_;
  e.PhaseTime += dt;
  const double warm = Clamp((e.WaterC - 25.0) / 60.0, 0.0, 1.0);  // 0 cold .. 1 warm
  e.TargetIdle = 1200.0 - 450.0 * warm;
  double accel = 0.0;

  switch (e.Phase) {
    case TSimEngine::PhaseIdle:
      e.Gear = 0;
      e.Clutch = false;
      e.Brake = false;
      e.Throttle = 0.0;
      e.Speed = 0.0;
      e.Rpm = Follow(e.Rpm, e.TargetIdle + 15.0 * std::sin(2.0 * kPi * 0.8 * time_), 0.3, dt);
      if (e.PhaseTime >= kIdleSeconds) {
        e.Phase = TSimEngine::PhaseLaunch;
        e.PhaseTime = 0.0;
      }
      break;
    case TSimEngine::PhaseLaunch:
      // Clutch in, first gear, launch control holds the revs.
      e.Gear = 1;
      e.Clutch = true;
      e.Throttle = 1.0;
      e.Rpm = Follow(e.Rpm, kLaunchRpm, 0.25, dt);
      if (e.PhaseTime >= kLaunchSeconds) {
        e.Phase = TSimEngine::PhaseAccelerate;
        e.PhaseTime = 0.0;
      }
      break;
    case TSimEngine::PhaseAccelerate: {
      e.Clutch = false;
      e.Throttle = 1.0;
      double torque = e.Rpm < kVtecRpm ? 0.8 + 0.1 * (e.Rpm - 2000.0) / 3500.0 : 1.0 - 0.08 * (e.Rpm - kVtecRpm) / 2300.0;
      accel = 4.4 * (kRatios[e.Gear] / kRatios[1]) * torque;
      double wheelRpm = RpmForSpeed(e.Speed, e.Gear);
      // Pulling away the clutch slips, holding the revs, until the road speed catches up.
      e.Rpm = e.Gear == 1 ? std::max(wheelRpm, Follow(e.Rpm, std::max(wheelRpm, 3500.0), 0.3, dt)) : wheelRpm;
      if (e.Rpm >= kRevLimitRpm) {
        e.Rpm = kRevLimitRpm - 40.0 * std::fabs(std::sin(2.0 * kPi * 12.0 * time_));
        e.RevLimit = true;
        e.LimiterTime += dt;
        accel = 0.0;
      } else {
        e.RevLimit = false;
      }
      bool shift = e.Gear == 2 ? e.LimiterTime >= 0.6 : e.Rpm >= kShiftAt[e.Gear];
      if (shift) {
        e.Phase = TSimEngine::PhaseShift;
        e.PhaseTime = 0.0;
        e.RevLimit = false;
        e.LimiterTime = 0.0;
      }
      break;
    }
    case TSimEngine::PhaseShift:
      e.Clutch = true;
      e.Throttle = 0.0;
      e.RevLimit = false;
      e.Rpm = Follow(e.Rpm, RpmForSpeed(e.Speed, std::min(e.Gear + 1, 5)), 0.1, dt);
      if (e.PhaseTime >= kShiftSeconds) {
        e.Gear = std::min(e.Gear + 1, 5);
        e.Clutch = false;
        e.PhaseTime = 0.0;
        e.Phase = e.Gear == 5 ? TSimEngine::PhaseCruise : TSimEngine::PhaseAccelerate;
      }
      break;
    case TSimEngine::PhaseCruise: {
      // Settle to the cruising speed: engine braking while too fast, then a light throttle.
      double error = kCruiseKmh / 3.6 - e.Speed;
      e.Throttle = Clamp(0.16 + 0.08 * error, 0.0, 0.45);
      accel = error < -0.5 ? -0.9 : Drag(e.Speed) + 0.6 * error;
      e.Rpm = RpmForSpeed(e.Speed, e.Gear);
      if (e.PhaseTime >= kCruiseSeconds) {
        e.Phase = TSimEngine::PhaseBrake;
        e.PhaseTime = 0.0;
      }
      break;
    }
    case TSimEngine::PhaseBrake:
      e.Throttle = 0.0;
      e.Brake = true;
      if (e.Speed > 0.0) {
        accel = -kBrakeDecel;
        if (e.Clutch || RpmForSpeed(e.Speed, e.Gear) < 1500.0) {
          // Clutch in near the bottom of the gear; the engine falls back to idle.
          e.Clutch = true;
          e.Rpm = Follow(e.Rpm, e.TargetIdle, 0.4, dt);
        } else {
          e.Rpm = RpmForSpeed(e.Speed, e.Gear);
        }
      } else {
        // Held at a standstill for a moment, then into neutral.
        e.Clutch = true;
        e.Rpm = Follow(e.Rpm, e.TargetIdle, 0.4, dt);
        e.StopTime += dt;
        if (e.StopTime >= 1.0) {
          e.Phase = TSimEngine::PhaseIdle;
          e.PhaseTime = 0.0;
          e.StopTime = 0.0;
          e.Gear = 0;
          e.Clutch = false;
          e.Brake = false;
        }
      }
      break;
  }

  // Road speed with drag and rolling resistance.
  if (e.Phase != TSimEngine::PhaseIdle && e.Phase != TSimEngine::PhaseLaunch) {
    e.Speed = std::max(0.0, e.Speed + (accel - Drag(e.Speed)) * dt);
  }

  // The throttle plate follows the pedal; manifold pressure follows the plate and the revs.
  e.Tps = Follow(e.Tps, e.Throttle, 0.08, dt);
  const bool overrun = e.Tps < 0.03 && e.Rpm > 1400.0 && !e.Clutch;
  double map = 0.30 + 0.68 * std::pow(e.Tps, 0.7);
  if (overrun) map = 0.22;
  e.MapBar = Follow(e.MapBar, map, 0.05, dt);
  e.Vtec = e.Rpm >= kVtecRpm && e.Tps > 0.6 && e.Gear > 0;

  // Fuel: cut on the overrun and on the limiter, rich at full throttle and while cold.
  const double cold = 1.0 + 0.3 * (1.0 - warm);
  const bool fuelCut = overrun || (e.RevLimit && std::sin(2.0 * kPi * 12.0 * time_) > 0.0);
  const double enrich = e.Tps > 0.7 ? 1.12 : 1.0;
  double inj = fuelCut ? 0.0 : (0.9 + 9.5 * (e.MapBar - 0.2) / 0.8) * enrich * cold;
  e.InjMs = Clamp(inj, 0.0, 16.0);

  // Ignition: more advance at light load and high revs.
  const bool idling = e.Gear == 0 || e.Clutch;
  double adv = idling && e.Tps < 0.03 ? 14.0 + 2.0 * std::sin(2.0 * kPi * 0.8 * time_)
                                              : 10.0 + 25.0 * (1.0 - e.MapBar) + 6.0 * e.Rpm / 7000.0;
  e.AdvanceDeg = Follow(e.AdvanceDeg, Clamp(adv, 5.0, 45.0), 0.05, dt);

  // Temperatures: the water warms up to the thermostat; the intake soaks heat when slow.
  e.WaterC = Follow(e.WaterC, 88.0 + 3.0 * e.Tps, 120.0, dt);
  e.AirC = Follow(e.AirC, 28.0 + 8.0 * std::exp(-e.Speed / 8.0), 15.0, dt);

  // Oxygen sensors: switching around stoichiometric in closed loop, rich at full throttle, lean
  // on the overrun; the short-term trims chase the switching.
  e.ClosedLoop = !overrun && e.Tps < 0.7 && e.WaterC > 40.0 && !fuelCut;
  if (e.ClosedLoop) {
    e.LoopPhase += dt * (e.Gear == 0 ? 0.8 : 1.6);
    double s = std::tanh(4.0 * std::sin(2.0 * kPi * e.LoopPhase));
    double sb = std::tanh(4.0 * std::sin(2.0 * kPi * (e.LoopPhase + 0.3)));
    e.O2A = Follow(e.O2A, 0.45 + 0.38 * s, 0.05, dt);
    e.O2B = Follow(e.O2B, 0.45 + 0.38 * sb, 0.05, dt);
    e.TrimA = -4.0 * std::sin(2.0 * kPi * (e.LoopPhase - 0.25));
    e.TrimB = -4.0 * std::sin(2.0 * kPi * (e.LoopPhase + 0.05));
  } else {
    double target = (overrun || fuelCut) ? 0.05 : 0.88;
    e.O2A = Follow(e.O2A, target, 0.08, dt);
    e.O2B = Follow(e.O2B, target, 0.1, dt);
    e.TrimA = Follow(e.TrimA, 0.0, 0.2, dt);
    e.TrimB = Follow(e.TrimB, 0.0, 0.2, dt);
  }
  e.LongA = 2.5 + 1.0 * std::sin(time_ / 40.0);
  e.LongB = -1.5 + 0.8 * std::sin(time_ / 55.0 + 1.0);

  // Idle control, alternator load, idle valve.
  e.IacDuty = Follow(e.IacDuty, idling ? 33.0 + 10.0 * (1.0 - warm) + 2.0 * std::sin(2.0 * kPi * 0.8 * time_) : 22.0, 0.3, dt);
  e.AltVolts = 2.2 + 0.5 * (idling ? 1.0 : 0.4) + 0.05 * std::sin(time_ * 3.0);
  e.EacvVolts = idling ? 1.4 + 0.1 * std::sin(2.0 * kPi * 0.8 * time_) : 0.8;
}

bool TSimEcu::IsTwoByte(uint8_t request) {
  switch (request) {
    case 0x09: case 0x0A: case 0x11: case 0x1A: case 0x22: case 0x23: case 0x24: case 0x25:
    case 0x27: case 0x28: case 0x29: case 0xE7:
      return true;
    default:
      return false;
  }
}

uint16_t TSimEcu::Value(uint8_t request) const {
  const TSimEngine& e = engine_;
  const uint8_t family = Family();
  switch (request) {
    case 0x01: return VoltsByte(e.O2A);
    case 0x02: return VoltsByte(e.O2B);
    case 0x03: return TempByte(e.WaterC);
    case 0x04: return TempByte(e.AirC);
    case 0x05: return VoltsByte(e.AltVolts);
    case 0x06: return VoltsByte(e.EacvVolts);
    case 0x07: return PressureByte(e.MapBar);
    case 0x08: return VoltsByte(0.45 + 4.0 * e.Tps);
    case 0x09: {  // road speed as a period: K / km/h
      double k = family == FAMILY_OBD0 ? 182800.0 : 228500.0;
      double kmh = e.SpeedKmh();
      return kmh < 0.5 ? 0xFFFF : static_cast<uint16_t>(Clamp(k / kmh, 1.0, 65534.0));
    }
    case 0x0A: return Period(e.Rpm);
    case 0x0D:  // switch inputs: VTEC pressure
      if (family == FAMILY_OBD1) return e.Vtec ? 0x05 : 0x07;
      return e.Vtec ? 0x02 : 0x00;
    case 0x0E: return 0x00;  // port 0: fuel pump running, check light off
    case 0x0F: return e.Vtec ? 0x03 : 0x00;  // port 1: VTEC solenoid
    case 0x11: return static_cast<uint16_t>(Clamp(e.InjMs * 246.875, 0.0, 65535.0));
    case 0x12: return static_cast<uint8_t>(Clamp((e.AdvanceDeg + 6.0) * 4.0, 0.0, 255.0));
    case 0x16: return errors_[0];
    case 0x17: return errors_[1];
    case 0x18: return errors_[2];
    case 0x26: return errors_[3];
    case 0x19: return e.Clutch ? 0x04 : 0x00;
    case 0x1A: return Period(kLaunchRpm);
    case 0x1B: return PackedRpm(kVtecRpm);
    case 0x1C: return PackedRpm(kShiftLightRpm);
    case 0x1D: return PackedRpm(kShiftLimiterRpm);
    case 0x1E: return PackedRpm(kRevLimitRpm);
    case 0x22: return Trim(e.LongA);
    case 0x23: return Trim(e.LongB);
    case 0x24: return Trim(e.TrimA);
    case 0x25: return Trim(e.TrimB);
    case 0x27: return Period(e.TargetIdle);
    case 0x28: return static_cast<uint16_t>(e.IacDuty * 25.6);
    case 0x29: return static_cast<uint16_t>((100.0 - e.IacDuty) * 25.6);
    case 0x3F: return PressureByte(1.013);
    case 0xE4: return e.Vtec ? 0x03 : 0x00;  // outputs: VTEC solenoid
    case 0xE5: return e.Vtec ? 0x01 : 0x00;  // inputs: VTEC pressure switch
    case 0xE7: return static_cast<uint16_t>(Clamp(e.SpeedKmh() * 100.0, 0.0, 65534.0));
    case 0xEE: return e.RevLimit ? 0x01 : 0x00;
    case 0xEF: return e.Brake ? 0x01 : 0x00;
    default: return 0;
  }
}

int TSimEcu::Respond(uint8_t request, double t, uint8_t reply[2]) {
  ++requests_;
  AdvanceTo(t);
  if (request == 0xFE) {
    pendingHigh_ = -1;
    reply[0] = model_;
    return 1;
  }
  if (request == 0xFD) {
    pendingHigh_ = -1;
    for (uint8_t& b : errors_) b = 0;
    return 0;
  }
  if (request == 0x00) {
    // The second request of a two-byte value fetches its high byte.
    reply[0] = pendingHigh_ >= 0 ? static_cast<uint8_t>(pendingHigh_) : 0;
    pendingHigh_ = -1;
    return 1;
  }
  uint16_t v = Value(request);
  // Sensors are never perfectly still: the fast analogue channels wander by a count.
  switch (request) {
    case 0x01: case 0x02: case 0x07: case 0x08: case 0x05: case 0x06:
      if ((v & 0xFF) > 1 && (v & 0xFF) < 254) v = static_cast<uint16_t>(v + Noise(1) - 1);
      break;
    default:
      break;
  }
  reply[0] = static_cast<uint8_t>(v & 0xFF);
  pendingHigh_ = IsTwoByte(request) ? (v >> 8) : -1;
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Pseudo-terminal

TPtySimulator::TPtySimulator(uint8_t model) : ecu_(model) {}

TPtySimulator::~TPtySimulator() {
  Stop();
  if (master_ >= 0) ::close(master_);
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

bool TPtySimulator::Create(std::string* error) {
  auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return fail("posix_openpt");
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  if (::grantpt(master_) != 0) return fail("grantpt");
  if (::unlockpt(master_) != 0) return fail("unlockpt");
  const char* name = ::ptsname(master_);
  if (!name) return fail("ptsname");
  slavePath_ = name;
  // Raw bytes both ways, no echo, until the port's owner applies its own settings.
  termios t{};
  if (::tcgetattr(master_, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (::pipe(wake_) != 0) return fail("pipe");
  for (int fd : wake_) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return true;
}

void TPtySimulator::RequestStop() {
  stop_.store(true);
  if (wake_[1] >= 0) {
    char b = 1;
    ssize_t n = ::write(wake_[1], &b, 1);
    (void)n;
  }
}

void TPtySimulator::Serve() {
  timespec t0{};
  ::clock_gettime(CLOCK_MONOTONIC, &t0);
  auto now = [&] {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec - t0.tv_sec) + (t.tv_nsec - t0.tv_nsec) * 1e-9;
  };
  uint8_t in[256];
  uint8_t out[512];
  bool hungUp = false;
  while (!stop_.load()) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    // With nobody on the other side the terminal reports a hang-up without end: look again later.
    int n = hungUp ? ::poll(fds + 1, 1, 50) : ::poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (stop_.load()) break;
    if (hungUp) {
      hungUp = false;
      continue;
    }
    if (fds[0].revents == 0) continue;
    ssize_t got = ::read(master_, in, sizeof in);
    if (got <= 0) {
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      hungUp = true;  // EIO: the other side is closed
      continue;
    }
    int len = 0;
    for (ssize_t i = 0; i < got; ++i) {
      uint8_t reply[2];
      int r = ecu_.Respond(in[i], now(), reply);
      for (int k = 0; k < r && len < static_cast<int>(sizeof out); ++k) out[len++] = reply[k];
    }
    requests_.fetch_add(static_cast<uint64_t>(got));
    int done = 0;
    while (done < len && !stop_.load()) {
      ssize_t w = ::write(master_, out + done, static_cast<size_t>(len - done));
      if (w > 0) {
        done += static_cast<int>(w);
      } else if (w < 0 && errno == EAGAIN) {
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0) break;
      } else if (w < 0 && errno == EINTR) {
        continue;
      } else {
        break;
      }
    }
  }
}

void TPtySimulator::Start() {
  if (thread_.joinable()) return;
  stop_.store(false);
  thread_ = std::thread([this] { Serve(); });
}

void TPtySimulator::Stop() {
  if (!thread_.joinable()) return;
  RequestStop();
  thread_.join();
  // Drain the wake-up byte so that a later Start serves again.
  char b[16];
  while (::read(wake_[0], b, sizeof b) > 0) {
  }
  stop_.store(false);
}

void TPtySimulator::HangUp() {
  Stop();
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}
