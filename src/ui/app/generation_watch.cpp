#include "ui/app/generation_watch.h"

namespace vantrel::ui {
namespace {

// Changes closer together than this make one signal.
constexpr int kSettleMs = 30;

}  // namespace

GenerationWatch::GenerationWatch(const QString& generationFile, QObject* parent)
    : QObject(parent), file_(generationFile) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &GenerationWatch::changed);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { OnFileChanged(); });
  watcher_.addPath(file_);
}

void GenerationWatch::OnFileChanged() {
  // A file removed or replaced is no longer watched: watched again when it is back.
  if (!watcher_.files().contains(file_)) watcher_.addPath(file_);
  settle_.start();
}

}  // namespace vantrel::ui
