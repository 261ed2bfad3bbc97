#pragma once
// Delivers the worker threads' messages to a window as events whose type is the message number.
#include <QEvent>
#include <QObject>
#include <QPointer>

#include "base/MessageTarget.h"

class TQtMessageTarget : public TMessageTarget {
 public:
  explicit TQtMessageTarget(QObject* receiver) : receiver_(receiver) {}
  void Post(uint32_t message) override;
  // Drops queued messages of one kind (duplicate display refreshes).
  void RemovePosted(uint32_t message);

 private:
  QObject* receiver_;
};
