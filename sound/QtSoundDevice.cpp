#include "sound/QtSoundDevice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QMediaDevices>

namespace {

// What the sink pulls from: the sound's stream, read as the sink asks for more.
class TStreamReader : public QIODevice {
 public:
  void Attach(TSoundStream* stream) { stream_ = stream; }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override {
    return (stream_ && !stream_->AtEnd() ? 4096 : 0) + QIODevice::bytesAvailable();
  }
  bool atEnd() const override { return !stream_ || stream_->AtEnd(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    if (!stream_ || maxSize <= 0) return 0;
    return static_cast<qint64>(stream_->Read(reinterpret_cast<uint8_t*>(data), static_cast<size_t>(maxSize)));
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  TSoundStream* stream_ = nullptr;
};

class TQtSoundOutput : public TSoundOutput {
 public:
  TQtSoundOutput(const QAudioDevice& device, const QAudioFormat& format) : sink_(device, format) {
    reader_.open(QIODevice::ReadOnly);
  }
  ~TQtSoundOutput() override { Stop(); }

  bool Start(TSoundStream& stream) override {
    sink_.stop();
    reader_.Attach(&stream);
    sink_.start(&reader_);
    return sink_.error() == QAudio::NoError || sink_.error() == QAudio::UnderrunError;
  }
  bool Stop() override {
    sink_.stop();
    reader_.Attach(nullptr);
    return true;
  }

 private:
  TStreamReader reader_;
  QAudioSink sink_;
};

}  // namespace

QAudioFormat ToAudioFormat(const TWaveFormat& format) {
  QAudioFormat f;
  f.setSampleRate(static_cast<int>(format.SamplesPerSec));
  f.setChannelCount(format.Channels);
  f.setSampleFormat(format.BitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::UInt8);
  return f;
}

std::unique_ptr<TSoundOutput> TQtSoundDevice::Open(const TWaveFormat& format) {
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return nullptr;
  const QAudioFormat f = ToAudioFormat(format);
  if (!device.isFormatSupported(f)) return nullptr;
  return std::make_unique<TQtSoundOutput>(device, f);
}

bool FindBuiltInSound(const std::string& name, std::vector<uint8_t>& bytes) {
  const QString wanted = QString::fromStdString(name);
  QDirIterator it(QStringLiteral(":/sounds"));
  while (it.hasNext()) {
    const QString path = it.next();
    if (QFileInfo(path).completeBaseName().compare(wanted, Qt::CaseInsensitive) != 0) continue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = file.readAll();
    bytes.assign(data.begin(), data.end());
    return true;
  }
  return false;
}
