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
// object (the target of Deliver and of the busy signal) still exists. A closed gate would
// hold those jobs for ever: it opens first.
DeviceWorker::~DeviceWorker() { gate_.Open(); }

void DeviceWorker::Post(std::function<void()> job) {
  pending_.fetch_add(1);
  queue_.Post([this, job = std::move(job)] {
    gate_.Enter();
    job();
    gate_.Leave();
    // A job posted meanwhile runs its own idle call afterwards, so the last one always
    // comes after the last job.
    if (pending_.fetch_sub(1) == 1 && whenIdle_) whenIdle_();
  });
}

void DeviceWorker::Deliver(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace vantrel::ui
