// Watches the keyboard's generation file: every program that changes the keyboard
// advances the number in it, so a change of the file says that the keyboard may have been
// changed (by this program or another; the device worker tells which). Bursts of changes
// (a script running vantrelctl in a loop) come out as one signal.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

namespace vantrel::ui {

class GenerationWatch final : public QObject {
  Q_OBJECT

 public:
  explicit GenerationWatch(const QString& generationFile, QObject* parent = nullptr);

 signals:
  void changed();

 private:
  void OnFileChanged();

  QString file_;
  QFileSystemWatcher watcher_;
  QTimer settle_;
};

}  // namespace vantrel::ui
