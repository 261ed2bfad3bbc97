#include "sound/Sound.h"

#include <algorithm>
#include <cstring>

void TSoundStream::Start(const std::vector<uint8_t>* data, bool loop) {
  data_ = data;
  loop_ = loop;
  pos_ = 0;
  restarts_ = 0;
}

void TSoundStream::Clear() { Start(nullptr, false); }

bool TSoundStream::AtEnd() const {
  if (!data_ || data_->empty()) return true;
  return pos_ >= data_->size() && (!loop_ || restarts_ + 1 >= kSoundLoopCount);
}

size_t TSoundStream::Read(uint8_t* out, size_t max) {
  size_t done = 0;
  while (done < max && !AtEnd()) {
    if (pos_ >= data_->size()) {
      pos_ = 0;
      ++restarts_;
    }
    const size_t n = std::min(max - done, data_->size() - pos_);
    std::memcpy(out + done, data_->data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return done;
}

TSound::~TSound() { Close(); }

void TSound::Close() {
  if (playing_) Stop();
  playing_ = false;
  output_.reset();  // closes the device
  deviceOpen_ = false;
  stream_.Clear();
  data_.clear();
  data_.shrink_to_fit();
  format_ = TWaveFormat{};
}

bool TSound::Load(const std::string& name) {
  Close();
  std::vector<uint8_t> bytes;
  TWaveData wave;
  if (!manager_.FindResource(name, bytes) || !ParseWave(bytes, wave)) return false;
  data_ = std::move(wave.Samples);
  format_ = wave.Format;
  if (!IsPlayablePcm(format_)) return false;
  // Whole frames only: a device is never handed half a sample.
  data_.resize(data_.size() - data_.size() % format_.BlockAlign);
  if (data_.empty()) return false;
  output_ = manager_.Device().Open(format_);
  deviceOpen_ = output_ != nullptr;
  return deviceOpen_;
}

bool TSound::Play() {
  if (playing_) {
    Stop();
    playing_ = false;
  }
  if (!deviceOpen_) return false;
  stream_.Start(&data_, Loop);
  if (!output_->Start(stream_)) {
    stream_.Clear();
    return false;
  }
  playing_ = true;
  return true;
}

bool TSound::Stop() { return output_ && output_->Stop(); }
