// One running program per user: a lock file decides who is first; the first listens on a
// per-user local socket and later starts send it their request over that socket and wait
// for its answer.
//
// The socket and the lock lie in a folder only the user can enter: $XDG_RUNTIME_DIR when
// it is the user's own private, writable folder, else "<temp>/<name>-<uid>", created 0700
// and refused (by name) when it is a link, belongs to someone else or is open to others.
// Both ends check who is on the other side of every connection, and a lock or socket of
// another user is an error, never "another instance". A socket left behind by a crash is
// removed by the next first instance.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QLocalSocket;

namespace vantrel::platform {

// One request between instances: a message number, its fixed parameter and an optional
// payload (UTF-8).
struct InstanceMessage {
  std::uint32_t message = 0;
  std::uint32_t param = 0;
  QByteArray payload;
};

// Answers of Send besides the handler's own status.
inline constexpr int kNoInstance = -1;     // nobody listens (no instance runs)
inline constexpr int kNoAnswer = -2;       // connected, but no answer came
inline constexpr int kUntrusted = -3;      // the folder, lock or socket is not the user's own (see Error())

class SingleInstance final : public QObject {
 public:
  // name: the channel's base name, e.g. "PX204-1127"; folder: where the socket and the
  // lock file lie (empty: the per-user runtime folder). Either way the folder must be
  // private to the user.
  explicit SingleInstance(QString name, QString folder = {});
  ~SingleInstance() override;

  enum class Claim {
    First,   // this process holds the lock from now on
    Taken,   // another process of this user holds it
    Failed,  // the lock cannot be used at all (Error() says why)
  };
  Claim TryClaim();
  // True when this process is the first (TryClaim() == Claim::First).
  bool TryBecomeFirst() { return TryClaim() == Claim::First; }

  // Starts listening (first instance only); false when the socket cannot be made
  // (Error() says why).
  bool Listen();
  // Stops listening and removes the socket; the lock stays held.
  void Close();

  // Sends a request to the first instance and waits for its status: kNoInstance when none
  // listens within `connectMs` (which covers a first instance still starting), kNoAnswer
  // when the request was not answered within `answerMs`, kUntrusted when the other end
  // is not this user's (Error() says why).
  int Send(const InstanceMessage& message, int connectMs = 3000, int answerMs = 10000) const;

  // Waits until no process holds the lock (the first instance has ended); false when it
  // still runs after `ms`.
  bool WaitForEnd(int ms) const;

  // The handler runs on the thread of this object and returns the status sent back.
  using Handler = std::function<int(const InstanceMessage&)>;
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  // Why the last claim, listen or send failed (empty when nothing did).
  QString Error() const { return error_; }

  QString Folder() const { return folder_; }
  QString SocketPath() const;
  QString LockPath() const;

  // The per-user runtime folder for channel `name`: $XDG_RUNTIME_DIR when it is usable,
  // else the private folder in the temp folder (created when missing). Empty with
  // `error` set when neither can be used.
  static QString RuntimeFolder(const QString& name, QString* error = nullptr);

  // A connection whose request is not whole after this long is dropped.
  static constexpr int kRequestTimeoutMs = 2000;

 private:
  class Listener;

  void OnConnection(QLocalSocket* socket);
  void OnReadable(QLocalSocket* socket);
  // Checks the lock or socket file at `path` before use: absent or this user's own.
  bool FileIsOurs(const QString& path, const char* what) const;

  QString name_;
  QString folder_;
  QString folderError_;  // why the folder cannot be used (empty: it can)
  mutable QString error_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<Listener> listener_;
  Handler handler_;
};

}  // namespace vantrel::platform
