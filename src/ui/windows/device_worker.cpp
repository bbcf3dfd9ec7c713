#include "ui/windows/device_worker.h"

#include <QMetaObject>

namespace vantrel::ui {

DeviceWorker::DeviceWorker(QObject* parent)
    : QObject(parent),
      queue_([this](bool busy) {
        // Queued to this object, which outlives the worker thread; the destructor below
        // ends that thread before the QObject part goes.
        QMetaObject::invokeMethod(this, [this, busy] { emit busyChanged(busy); }, Qt::QueuedConnection);
      }) {}

// The queue member runs what is still queued and ends the thread here, while this
// object (the target of Deliver and of the busy signal) still exists.
DeviceWorker::~DeviceWorker() = default;

void DeviceWorker::Deliver(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace vantrel::ui
