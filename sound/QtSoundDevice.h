#pragma once
// The program's sound device: Qt Multimedia's default audio output, fed through a QAudioSink in
// each sound's own format, and the built-in sounds compiled in under ":/sounds".
#include <vector>

#include "sound/Sound.h"

class QAudioFormat;

// Outputs on the system's default audio output. With no output (a server, CI) or a format the
// output refuses, Open gives none and the sounds stay silent; nothing blocks or reports errors.
class TQtSoundDevice : public TSoundDevice {
 public:
  std::unique_ptr<TSoundOutput> Open(const TWaveFormat& format) override;
};

// The format a wave record stands for, as QAudioSink takes it (8-bit unsigned or 16-bit signed).
QAudioFormat ToAudioFormat(const TWaveFormat& format);

// Finds a built-in sound by name without regard to case ("Saucer" finds SAUCER.wav).
bool FindBuiltInSound(const std::string& name, std::vector<uint8_t>& bytes);
