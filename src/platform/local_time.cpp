#include "platform/local_time.h"

#include <QDateTime>

namespace vantrel::platform {

std::string LocalDateTime(std::int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

}  // namespace vantrel::platform
