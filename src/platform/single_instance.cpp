#include "platform/single_instance.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QElapsedTimer>
#include <QThread>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <unistd.h>
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

QString UserTag() {
#ifdef Q_OS_UNIX
  return QString::number(static_cast<qulonglong>(::getuid()));
#else
  return qEnvironmentVariable("USERNAME");
#endif
}

}  // namespace

SingleInstance::SingleInstance(QString name, QString folder) : name_(std::move(name)), folder_(std::move(folder)) {
  if (folder_.isEmpty()) folder_ = RuntimeFolder();
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

QString SingleInstance::RuntimeFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
  return QDir::tempPath();
}

QString SingleInstance::SocketPath() const {
  // In the shared temp folder the name carries the user id, so users never meet.
  const bool shared = folder_ == QDir::tempPath();
  return QDir(folder_).filePath(name_ + (shared ? "-" + UserTag() : QString()) + ".sock");
}

QString SingleInstance::LockPath() const { return SocketPath() + ".lock"; }

bool SingleInstance::TryBecomeFirst() {
  if (lock_ && lock_->isLocked()) return true;
  lock_ = std::make_unique<QLockFile>(LockPath());
  // A lock whose owner died is taken over (QLockFile checks the process).
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return true;
  lock_.reset();
  return false;
}

bool SingleInstance::Listen() {
  if (!lock_ || !lock_->isLocked()) return false;
  // We hold the lock, so a socket file present now was left by a crash.
  QLocalServer::removeServer(SocketPath());
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(SocketPath())) return false;
  connect(server_, &QLocalServer::newConnection, this, [this] { OnConnection(); });
  return true;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
    if (socket->bytesAvailable() > 0) OnReadable(socket);
  }
}

void SingleInstance::OnReadable(QLocalSocket* socket) {
  if (socket->property("answered").toBool()) return;
  if (socket->bytesAvailable() < kHeaderSize) return;
  const QByteArray header = socket->peek(kHeaderSize);
  const quint32 length = qFromLittleEndian<quint32>(header.constData() + 8);
  if (length > kMaxPayload) {
    socket->abort();
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
  QLocalSocket socket;
  // The first instance may hold the lock but not listen yet: keep trying for a while.
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    socket.connectToServer(SocketPath());
    if (socket.waitForConnected(200)) break;
    socket.abort();
    if (timer.elapsed() >= connectMs) return kNoInstance;
    // Nobody holds the lock: no instance runs, do not wait.
    QLockFile probe(LockPath());
    if (probe.tryLock(0)) return kNoInstance;
    QThread::msleep(50);
  }
  socket.write(Encode(message));
  if (!socket.waitForBytesWritten(answerMs)) return kNoAnswer;
  QByteArray answer;
  QElapsedTimer waited;
  waited.start();
  while (answer.size() < 4) {
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(std::max<int>(1, answerMs - waited.elapsed()))) {
      answer += socket.readAll();
      if (answer.size() >= 4) break;
      return kNoAnswer;
    }
    answer += socket.readAll();
  }
  return qFromLittleEndian<qint32>(answer.constData());
}

}  // namespace vantrel::platform
