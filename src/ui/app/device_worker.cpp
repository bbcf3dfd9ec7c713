#include "ui/app/device_worker.h"

#include <QCoreApplication>
#include <QEvent>
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

namespace {

// A call carried to the worker object's thread as an event, which unlike a queued call
// can overtake the events waiting there.
class CallEvent final : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
    return kind;
  }
  explicit CallEvent(std::function<void()> call) : QEvent(Kind()), call_(std::move(call)) {}
  void Run() { call_(); }

 private:
  std::function<void()> call_;
};

}  // namespace

void DeviceWorker::Deliver(std::function<void()> call, Delivery delivery) {
  if (delivery == Delivery::First) {
    QCoreApplication::postEvent(this, new CallEvent(std::move(call)), Qt::HighEventPriority);
    return;
  }
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void DeviceWorker::DeliverWaitingFirst() { QCoreApplication::sendPostedEvents(this, CallEvent::Kind()); }

bool DeviceWorker::event(QEvent* event) {
  if (event->type() == CallEvent::Kind()) {
    static_cast<CallEvent*>(event)->Run();
    return true;
  }
  return QObject::event(event);
}

}  // namespace vantrel::ui
