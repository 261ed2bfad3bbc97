#include "windows/QtMessageTarget.h"

#include <QCoreApplication>

void TQtMessageTarget::Post(uint32_t message) {
  QCoreApplication::postEvent(receiver_, new QEvent(static_cast<QEvent::Type>(message)));
}

void TQtMessageTarget::RemovePosted(uint32_t message) {
  QCoreApplication::removePostedEvents(receiver_, static_cast<int>(message));
}
