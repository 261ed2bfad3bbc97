#pragma once
// The simulated ECU: an engine that idles, accelerates through the gears, cruises, brakes and
// starts over, answering the ECU's request bytes with the raw values a real unit would send.
// The in-process simulated device and "revscope-cli simulate" share it.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// The engine as the model drives it.
struct TSimEngine {
  enum TPhase : uint8_t { PhaseIdle, PhaseLaunch, PhaseAccelerate, PhaseShift, PhaseCruise, PhaseBrake };
  TPhase Phase = PhaseIdle;
  double PhaseTime = 0.0;   // seconds in the phase
  int Gear = 0;             // 0 neutral, 1..5
  double Speed = 0.0;       // m/s
  double Rpm = 1050.0;  // not yet warm: a fast idle
  double Throttle = 0.0;    // 0..1, the pedal
  double Tps = 0.0;         // 0..1, the throttle plate following the pedal
  bool Clutch = false;      // pedal pressed
  bool Brake = false;
  bool Vtec = false;
  bool RevLimit = false;
  double LimiterTime = 0.0;
  double StopTime = 0.0;
  double MapBar = 0.32;
  double InjMs = 2.4;
  double AdvanceDeg = 14.0;
  double WaterC = 45.0;  // driven to the start, not yet warm
  double AirC = 30.0;
  double O2A = 0.45, O2B = 0.45;  // volts
  double TrimA = 0.0, TrimB = 0.0;  // short-term trims, percent
  double LongA = 0.0, LongB = 0.0;  // long-term trims, percent
  double LoopPhase = 0.0;  // closed-loop oscillation, turns
  double IacDuty = 35.0;   // percent
  double TargetIdle = 1050.0;
  double AltVolts = 2.5, EacvVolts = 1.4;
  bool ClosedLoop = true;

  double SpeedKmh() const { return Speed * 3.6; }
};

class TSimEcu {
 public:
  // The model byte answered to 0xFE: 2 or 3 OBD1, 4 any ECU, everything else OBD0.
  explicit TSimEcu(uint8_t model = 2);

  uint8_t Model() const { return model_; }
  void SetModel(uint8_t model) { model_ = model; }
  uint8_t Family() const;  // FAMILY_OBD0, FAMILY_OBD1 or FAMILY_ANY

  // Runs the engine forward to t seconds of model time (it never runs back).
  void AdvanceTo(double t);
  double Time() const { return time_; }
  const TSimEngine& Engine() const { return engine_; }

  // The reply to one request byte at model time t: 0, 1 or 2 bytes in reply (a two-byte value
  // answers its low byte and keeps the high byte for the following request 0x00).
  int Respond(uint8_t request, double t, uint8_t reply[2]);
  // The current 16-bit value behind a request code (a one-byte value in the low byte).
  uint16_t Value(uint8_t request) const;
  static bool IsTwoByte(uint8_t request);

  // The stored error codes "Error codes #1".."#4"; request 0xFD clears them.
  uint8_t ErrorCodes(int i) const { return errors_[i & 3]; }
  void SetErrorCodes(int i, uint8_t bits) { errors_[i & 3] = bits; }

  uint64_t Requests() const { return requests_; }

 private:
  void Step(double dt);
  uint8_t Noise(int amplitude);

  uint8_t model_;
  double time_ = 0.0;
  TSimEngine engine_;
  uint8_t errors_[4] = {0, 0, 0x08, 0};  // "Electrical load detector" stored
  int pendingHigh_ = -1;
  uint32_t seed_ = 12345;
  uint64_t requests_ = 0;
};

// A simulated ECU on a new pseudo-terminal: the program (or another) opens SlavePath() as its
// serial port. Serve answers until RequestStop; the engine runs on the monotonic clock.
class TPtySimulator {
 public:
  explicit TPtySimulator(uint8_t model = 2);
  ~TPtySimulator();
  TPtySimulator(const TPtySimulator&) = delete;
  TPtySimulator& operator=(const TPtySimulator&) = delete;

  // Creates the pseudo-terminal; false with the system's reason.
  bool Create(std::string* error = nullptr);
  const std::string& SlavePath() const { return slavePath_; }

  // Answers requests until RequestStop (async-signal-safe) is called.
  void Serve();
  void RequestStop();
  // Serve on a thread of its own, and stop and join it.
  void Start();
  void Stop();
  // Closes the controlling side: whoever has the port open sees a hang-up.
  void HangUp();

  uint64_t Requests() const { return requests_.load(); }
  uint8_t Model() const { return ecu_.Model(); }

 private:
  TSimEcu ecu_;
  std::string slavePath_;
  int master_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> requests_{0};
  std::thread thread_;
};
