// Interface org.vantrel.Vantrel1.Testing, on the bus object only while the program runs on
// the virtual keyboard: the state a user reaches through the windows (unapplied key
// edits), made from a test script that has no pointer to click with. A program on real
// hardware never carries it.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>

namespace vantrel::ui {

class AppCore;

class TestingAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.vantrel.Vantrel1.Testing")

 public:
  TestingAdaptor(QObject* object, AppCore& core);

 public slots:
  // Counts the profile (0..2) as edited and not applied, as a key edit in the window does;
  // the editing store itself is left as it is.
  void MarkEdited(int profile, const QDBusMessage& message);
  // A key of the profile set to "disabled" in the editing store, as the key page's choice
  // does, and counted as edited; `key` is a key name as vantrelctl takes it.
  void DisableKey(int profile, const QString& key, const QDBusMessage& message);
  // The window's Apply: the pending edits written to the keyboard.
  void Apply(const QDBusMessage& message);

 private:
  AppCore& core_;
};

}  // namespace vantrel::ui
