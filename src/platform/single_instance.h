// One running program per user: a lock file decides who is first; the first listens on a
// per-user local socket and later starts send it their request over that socket and wait
// for its answer. The socket lives in $XDG_RUNTIME_DIR, else in the temp folder with the
// user id in its name; only the owner may connect. A socket left behind by a crash is
// removed by the next first instance.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace vantrel::platform {

// One request between instances: a message number, its fixed parameter and an optional
// payload (UTF-8).
struct InstanceMessage {
  std::uint32_t message = 0;
  std::uint32_t param = 0;
  QByteArray payload;
};

// Answers of SendToRunningInstance besides the handler's own status.
inline constexpr int kNoInstance = -1;     // nobody listens (no instance runs)
inline constexpr int kNoAnswer = -2;       // connected, but no answer came

class SingleInstance final : public QObject {
 public:
  // name: the channel's base name, e.g. "PX204-1127"; folder: where the socket and the
  // lock file lie (empty: the per-user runtime folder).
  explicit SingleInstance(QString name, QString folder = {});
  ~SingleInstance() override;

  // True when this process is the first: it holds the lock from now on.
  bool TryBecomeFirst();
  // Starts listening (first instance only); false when the socket cannot be made.
  bool Listen();

  // Sends a request to the first instance and waits for its status (kNoInstance when none
  // listens within `connectMs`, which covers a first instance still starting).
  int Send(const InstanceMessage& message, int connectMs = 3000, int answerMs = 30000) const;

  // The handler runs on the thread of this object and returns the status sent back.
  using Handler = std::function<int(const InstanceMessage&)>;
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  QString SocketPath() const;
  QString LockPath() const;

  // The per-user runtime folder: $XDG_RUNTIME_DIR when set and present, else the temp
  // folder (the socket name then carries the user id).
  static QString RuntimeFolder();

 private:
  void OnConnection();
  void OnReadable(QLocalSocket* socket);

  QString name_;
  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  Handler handler_;
};

}  // namespace vantrel::platform
