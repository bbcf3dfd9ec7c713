#include "platform/single_instance.h"

#include "platform/runtime_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#else
#include <QLocalServer>
#endif

namespace vantrel::platform {
namespace {

// Wire format, little-endian: u32 message, u32 param, u32 payload length, payload; the
// answer is one i32 status.
constexpr qsizetype kHeaderSize = 12;
constexpr quint32 kMaxPayload = 4096;

QByteArray Encode(const InstanceMessage& m) {
  QByteArray bytes(kHeaderSize, '\0');
  qToLittleEndian<quint32>(m.message, bytes.data());
  qToLittleEndian<quint32>(m.param, bytes.data() + 4);
  qToLittleEndian<quint32>(static_cast<quint32>(m.payload.size()), bytes.data() + 8);
  return bytes + m.payload;
}

QString Seconds(int ms) { return QString::number(ms / 1000.0, 'g', 3); }

#ifdef Q_OS_UNIX

QString ErrnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Why `folder` is not a folder only this user can enter, or empty when it is.
QString NotPrivate(const QString& folder) {
  return QString::fromStdString(FolderNotPrivate(std::filesystem::path(QFile::encodeName(folder).toStdString())));
}

// The user at the other end of a connected local socket, or -1 when it cannot be told.
long long PeerUid(qintptr fd) {
#ifdef SO_PEERCRED
  struct ucred cred {};
  socklen_t length = sizeof cred;
  if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0) return -1;
  return cred.uid;
#else
  uid_t uid = 0;
  gid_t gid = 0;
  if (::getpeereid(static_cast<int>(fd), &uid, &gid) != 0) return -1;
  return uid;
#endif
}

void MakeNonBlockingNoInherit(int fd) {
  ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

#endif  // Q_OS_UNIX

// Empty when the other end of `socket` is this user, else why it is not trusted.
QString ForeignPeer(const QLocalSocket& socket) {
#ifdef Q_OS_UNIX
  const long long uid = PeerUid(socket.socketDescriptor());
  if (uid == static_cast<long long>(::getuid())) return {};
  if (uid < 0) return QStringLiteral("cannot tell who serves %1").arg(socket.fullServerName());
  return QStringLiteral("%1 is served by another user (uid %2)").arg(socket.fullServerName()).arg(uid);
#else
  Q_UNUSED(socket);
  return {};
#endif
}

}  // namespace

#ifdef Q_OS_UNIX

// The accept path runs while the process may have no descriptor left. The undefined-
// behaviour sanitizer's check of a virtual call then cannot tell whether a vtable is
// readable (it probes through a pipe) and reports every such call as corrupt; the check
// is left out of these few functions so a sanitized build can run that case.
#if defined(__GNUC__) || defined(__clang__)
#define VANTREL_RUNS_WITHOUT_DESCRIPTORS __attribute__((no_sanitize("vptr")))
#else
#define VANTREL_RUNS_WITHOUT_DESCRIPTORS
#endif

// The listening socket. Every accepted connection of this user becomes a QLocalSocket for
// `sink`; a connection of anyone else is closed unread. An accept error never ends the
// channel: running out of descriptors pauses accepting for a moment (the connection
// waits in the queue), any other error reopens the socket.
class SingleInstance::Listener {
 public:
  using Sink = std::function<void(QLocalSocket*)>;
  Listener(QString path, QObject* owner, Sink sink)
      : path_(QFile::encodeName(path)), owner_(owner), sink_(std::move(sink)) {
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, owner_, [this] { Retry(); });
  }
  ~Listener() { Shut(); }

  bool Open(QString* error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(path_.size()) >= sizeof address.sun_path) {
      *error = QStringLiteral("the socket path %1 is too long").arg(QFile::decodeName(path_));
      return false;
    }
    std::memcpy(address.sun_path, path_.constData(), static_cast<std::size_t>(path_.size()) + 1);
    // The caller holds the lock and has checked that a file here is ours: a leftover.
    ::unlink(path_.constData());
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd_ < 0) return Fail(error, "cannot create a socket");
    MakeNonBlockingNoInherit(fd_);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
      return Fail(error, "cannot create");
    struct stat st {};
    if (::lstat(path_.constData(), &st) == 0) {
      device_ = st.st_dev;
      inode_ = st.st_ino;
    }
    // Nobody can connect before listen(), so the mode is in place in time.
    if (::chmod(path_.constData(), 0600) != 0 || ::listen(fd_, 32) != 0) return Fail(error, "cannot listen on");
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, owner_, [this] { Accept(); });
    return true;
  }

 private:
  bool Fail(QString* error, const char* what) {
    *error = QStringLiteral("%1 %2: %3").arg(QLatin1String(what), QFile::decodeName(path_), ErrnoText());
    Shut();
    return false;
  }

  // Closes the socket and removes its file, when the file is still the one we made.
  void Shut() {
    notifier_.reset();
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    struct stat st {};
    if (::lstat(path_.constData(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
      ::unlink(path_.constData());
  }

  VANTREL_RUNS_WITHOUT_DESCRIPTORS void Accept() {
    for (;;) {
      const int fd = ::accept(fd_, nullptr, nullptr);
      if (fd < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
        const bool outOfResources = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        RetryLater(!outOfResources);
        return;
      }
      MakeNonBlockingNoInherit(fd);
      if (PeerUid(fd) != static_cast<long long>(::getuid())) {
        ::close(fd);
        continue;
      }
      auto* socket = new QLocalSocket(owner_);
      if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        continue;
      }
      sink_(socket);
    }
  }

  VANTREL_RUNS_WITHOUT_DESCRIPTORS void RetryLater(bool reopen) {
    reopen_ = reopen_ || reopen;
    if (notifier_) notifier_->setEnabled(false);
    retry_.start(kRetryMs);
  }

  VANTREL_RUNS_WITHOUT_DESCRIPTORS void Retry() {
    if (!reopen_) {
      if (notifier_) notifier_->setEnabled(true);
      return;
    }
    Shut();
    QString ignored;
    reopen_ = !Open(&ignored);
    if (reopen_) retry_.start(kRetryMs);
  }

  static constexpr int kRetryMs = 100;
  QByteArray path_;
  QObject* owner_;
  Sink sink_;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool reopen_ = false;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer retry_;
};

#else  // Q_OS_UNIX

// Elsewhere the local server's own pipe, open to this user only.
class SingleInstance::Listener {
 public:
  using Sink = std::function<void(QLocalSocket*)>;
  Listener(QString path, QObject* owner, Sink sink) : path_(std::move(path)), server_(owner), sink_(std::move(sink)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, owner, [this] {
      while (QLocalSocket* socket = server_.nextPendingConnection()) sink_(socket);
    });
  }
  bool Open(QString* error) {
    QLocalServer::removeServer(path_);
    if (server_.listen(path_)) return true;
    *error = QStringLiteral("cannot listen on %1: %2").arg(path_, server_.errorString());
    return false;
  }

 private:
  QString path_;
  QLocalServer server_;
  Sink sink_;
};

#endif  // Q_OS_UNIX

SingleInstance::SingleInstance(QString name, QString folder) : name_(std::move(name)), folder_(std::move(folder)) {
  if (folder_.isEmpty()) {
    folder_ = RuntimeFolder(name_, &folderError_);
  } else {
#ifdef Q_OS_UNIX
    if (const QString why = NotPrivate(folder_); !why.isEmpty())
      folderError_ = QStringLiteral("the folder %1 %2").arg(folder_, why);
#endif
  }
}

SingleInstance::~SingleInstance() { Close(); }

QString SingleInstance::RuntimeFolder(const QString& name, QString* error) {
  std::string why;
  const std::filesystem::path folder = platform::RuntimeFolder(name.toStdString(), &why);
  if (folder.empty()) {
    if (error) *error = QString::fromStdString(why);
    return {};
  }
  return QFile::decodeName(QByteArray::fromStdString(folder.string()));
}

QString SingleInstance::SocketPath() const {
#ifdef Q_OS_UNIX
  return QDir(folder_).filePath(name_ + ".sock");
#else
  // A shared folder: the name carries the user, so users never meet.
  return QDir(folder_).filePath(name_ + "-" + qEnvironmentVariable("USERNAME") + ".sock");
#endif
}

QString SingleInstance::LockPath() const { return SocketPath() + ".lock"; }

bool SingleInstance::FileIsOurs(const QString& path, const char* what) const {
#ifdef Q_OS_UNIX
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || st.st_uid == ::getuid()) return true;
  error_ = QStringLiteral("the %1 %2 belongs to another user (uid %3)").arg(QLatin1String(what), path).arg(st.st_uid);
  return false;
#else
  Q_UNUSED(path);
  Q_UNUSED(what);
  return true;
#endif
}

SingleInstance::Claim SingleInstance::TryClaim() {
  error_.clear();
  if (lock_ && lock_->isLocked()) return Claim::First;
  if (!folderError_.isEmpty()) {
    error_ = folderError_;
    return Claim::Failed;
  }
  if (!FileIsOurs(LockPath(), "lock file")) return Claim::Failed;
  lock_ = std::make_unique<QLockFile>(LockPath());
  // A lock whose owner died is taken over (QLockFile checks the process).
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return Claim::First;
  const QLockFile::LockError why = lock_->error();
  lock_.reset();
  if (why == QLockFile::LockFailedError) return Claim::Taken;
  error_ = why == QLockFile::PermissionError
               ? QStringLiteral("cannot create the lock file %1: permission denied").arg(LockPath())
               : QStringLiteral("cannot create the lock file %1").arg(LockPath());
  return Claim::Failed;
}

bool SingleInstance::Listen() {
  error_.clear();
  if (!lock_ || !lock_->isLocked()) {
    error_ = QStringLiteral("the lock %1 is not held").arg(LockPath());
    return false;
  }
  // A socket file of ours present now was left by a crash; one of another user is not
  // ours to remove.
  if (!FileIsOurs(SocketPath(), "socket")) return false;
  listener_ = std::make_unique<Listener>(SocketPath(), this, [this](QLocalSocket* socket) { OnConnection(socket); });
  if (listener_->Open(&error_)) return true;
  listener_.reset();
  return false;
}

void SingleInstance::Close() { listener_.reset(); }

void SingleInstance::OnConnection(QLocalSocket* socket) {
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
  // A connection that does not bring its whole request in time is dropped: no one may
  // hold a descriptor of ours for good.
  QTimer::singleShot(kRequestTimeoutMs, socket, [socket] {
    if (socket->property("answered").toBool()) return;
    socket->abort();
    socket->deleteLater();
  });
}

void SingleInstance::OnReadable(QLocalSocket* socket) {
  if (socket->property("answered").toBool()) return;
  if (socket->bytesAvailable() < kHeaderSize) return;
  const QByteArray header = socket->peek(kHeaderSize);
  const quint32 length = qFromLittleEndian<quint32>(header.constData() + 8);
  if (length > kMaxPayload) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  if (socket->bytesAvailable() < kHeaderSize + length) return;
  socket->read(kHeaderSize);
  InstanceMessage m;
  m.message = qFromLittleEndian<quint32>(header.constData());
  m.param = qFromLittleEndian<quint32>(header.constData() + 4);
  m.payload = socket->read(length);
  socket->setProperty("answered", true);
  const qint32 status = handler_ ? handler_(m) : 0;
  QByteArray answer(4, '\0');
  qToLittleEndian<qint32>(status, answer.data());
  socket->write(answer);
  socket->flush();
  socket->disconnectFromServer();
}

int SingleInstance::Send(const InstanceMessage& message, int connectMs, int answerMs) const {
  error_.clear();
  if (!folderError_.isEmpty()) {
    error_ = folderError_;
    return kUntrusted;
  }
  QLocalSocket socket;
  // The first instance may hold the lock but not listen yet: keep trying for a while.
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    if (!FileIsOurs(SocketPath(), "socket")) return kUntrusted;
    socket.connectToServer(SocketPath());
    if (socket.waitForConnected(200)) break;
    socket.abort();
    if (!FileIsOurs(LockPath(), "lock file")) return kUntrusted;
    if (timer.elapsed() >= connectMs) {
      error_ = QStringLiteral("nothing answers on %1 within %2 s").arg(SocketPath(), Seconds(connectMs));
      return kNoInstance;
    }
    // Nobody holds the lock: no instance runs, do not wait.
    QLockFile probe(LockPath());
    if (probe.tryLock(0)) {
      error_ = QStringLiteral("no instance runs");
      return kNoInstance;
    }
    QThread::msleep(50);
  }
  // Nothing is sent before we know the other end is this user's.
  if (const QString foreign = ForeignPeer(socket); !foreign.isEmpty()) {
    error_ = foreign;
    return kUntrusted;
  }
  const auto noAnswer = [&] {
    error_ = socket.state() == QLocalSocket::ConnectedState
                 ? QStringLiteral("the running instance did not answer within %1 s").arg(Seconds(answerMs))
                 : QStringLiteral("the running instance closed the connection without answering");
    return kNoAnswer;
  };
  socket.write(Encode(message));
  if (!socket.waitForBytesWritten(answerMs)) return noAnswer();
  QByteArray answer;
  QElapsedTimer waited;
  waited.start();
  while (answer.size() < 4) {
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(std::max<int>(1, answerMs - static_cast<int>(waited.elapsed())))) {
      answer += socket.readAll();
      if (answer.size() >= 4) break;
      return noAnswer();
    }
    answer += socket.readAll();
  }
  return qFromLittleEndian<qint32>(answer.constData());
}

bool SingleInstance::WaitForEnd(int ms) const {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    // The lock is free (or its owner is dead) once the instance has ended.
    QLockFile probe(LockPath());
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) return true;
    if (timer.elapsed() >= ms) return false;
    QThread::msleep(50);
  }
}

}  // namespace vantrel::platform
