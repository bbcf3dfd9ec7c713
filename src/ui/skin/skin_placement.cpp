#include "ui/skin/skin_placement.h"

#include <QCursor>
#include <QDir>
#include <QScreen>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QRect>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "core/text/ini_file.h"
#include "core/text/skin_values.h"
#include "core/util/regular_file.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_scale.h"

namespace vantrel::ui {
namespace {

std::filesystem::path ToPath(const QString& s) { return std::filesystem::path(s.toStdString()); }

ProcessEndAction& EndAction() {
  static ProcessEndAction action;
  return action;
}

// "main_bg.jpg" -> "main_bg@2x.jpg".
QString TwinPath(const QString& path) {
  const int slash = path.lastIndexOf('/');
  const int dot = path.lastIndexOf('.');
  return dot <= slash ? path + "@2x" : path.left(dot) + "@2x" + path.mid(dot);
}

// Only a regular file is opened: a FIFO would block the program.
bool IsRegular(const QString& path) { return RegularFileProblem(ToPath(path)).empty(); }

struct PictureCache {
  QMutex mutex;
  QHash<QString, QPixmap> pictures;
};

PictureCache& Cache() {
  static PictureCache cache;
  return cache;
}

// A window reads a few hundred rectangles of its skin file while it is built. One parse
// serves them all while the file keeps its size and modification time; a changed file is
// parsed again at the next read, so an edited skin still shows at the next window.
struct ParsedSkinFile {
  std::filesystem::file_time_type modified;
  std::uintmax_t size = 0;
  text::IniSnapshot ini;
};

const text::IniSnapshot* ParsedSkin(const std::filesystem::path& path) {
  static std::map<std::filesystem::path, ParsedSkinFile> parsed;  // UI thread only
  std::error_code ec;
  const auto modified = std::filesystem::last_write_time(path, ec);
  const auto size = ec ? 0 : std::filesystem::file_size(path, ec);
  if (ec) {
    parsed.erase(path);
    return nullptr;
  }
  auto it = parsed.find(path);
  if (it != parsed.end() && it->second.modified == modified && it->second.size == size) return &it->second.ini;
  ParsedSkinFile file{modified, size, {}};
  if (!file.ini.Load(path)) {
    parsed.erase(path);
    return nullptr;
  }
  return &(parsed.insert_or_assign(path, std::move(file)).first->second.ini);
}

}  // namespace

text::SkinRect ReadSkinRect(const QString& iniPath, const QString& section, const QString& key) {
  const std::filesystem::path path = ToPath(iniPath);
  if (const text::IniSnapshot* ini = ParsedSkin(path)) return text::ReadSkinRect(*ini, section.toStdString(), key.toStdString());
  return text::ReadSkinRect(path, section.toStdString(), key.toStdString());
}

void PlaceSkinnedButton(CPngButton& button, const QString& iniPath, const QString& section, const QString& key,
                        const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed, const QPixmap& disabled,
                        const QPixmap& selected) {
  const auto r = ReadSkinRect(iniPath, section, key);
  // Placed without repainting: the button draws once its pictures are set.
  const bool updates = button.updatesEnabled();
  button.setUpdatesEnabled(false);
  PlaceInSkin(button, QRect(r.x, r.y, r.width, r.height));
  button.SetStatePictures(normal, hover, pressed, disabled, selected);
  button.SetFaceOrigin(r.x, r.y);
  button.setUpdatesEnabled(updates);
  if (text::IsDisabledPlacement(r)) button.setEnabled(false);
}

void PlaceNamedButtons(std::initializer_list<CPngButton*> buttons, const QString& iniPath, const QString& section,
                       const QString& skinFolder, const QString& stem) {
  const QPixmap normal = RequiredSkinPicture(skinFolder, stem + QStringLiteral("_normal.jpg"));
  const QPixmap over = RequiredSkinPicture(skinFolder, stem + QStringLiteral("_over.jpg"));
  const QPixmap down = RequiredSkinPicture(skinFolder, stem + QStringLiteral("_down.jpg"));
  // Disabled is dim, as in the main window, not the pressed picture.
  const QPixmap disabled = RequiredSkinPicture(skinFolder, stem + QStringLiteral("_disable.jpg"));
  for (CPngButton* b : buttons)
    PlaceSkinnedButton(*b, iniPath, section, b->objectName(), normal, over, down, disabled, down);
}

QRectF PictureSource(const QPixmap& picture, const QRect& logical) {
  const qreal ratio = picture.devicePixelRatio();
  return QRectF(logical.x() * ratio, logical.y() * ratio, logical.width() * ratio, logical.height() * ratio);
}

void DrawPicturePart(QPainter& painter, const QRect& target, const QPixmap& picture, const QRect& source) {
  // A picture of the screen's own density drawn at its size is a plain copy, the cheap path
  // the live preview repaints keys through many times a second.
  if (picture.devicePixelRatio() == 1.0 && target.size() == source.size()) {
    painter.drawPixmap(target.topLeft(), picture, source);
    return;
  }
  painter.drawPixmap(QRectF(target), picture, PictureSource(picture, source));
}

void DrawWidenedFace(QPainter& painter, const QPoint& at, int width, const QPixmap& picture, const QRect& source,
                     int edge) {
  const int h = source.height();
  DrawPicturePart(painter, QRect(at.x(), at.y(), edge, h), picture, QRect(source.left(), source.top(), edge, h));
  DrawPicturePart(painter, QRect(at.x() + edge, at.y(), width - 2 * edge, h), picture,
                  QRect(source.left() + edge, source.top(), 1, h));
  DrawPicturePart(painter, QRect(at.x() + width - edge, at.y(), edge, h), picture,
                  QRect(source.right() - edge + 1, source.top(), edge, h));
}

void PlaceControl(QWidget& control, const QString& iniPath, const QString& section, const QString& key) {
  const auto r = ReadSkinRect(iniPath, section, key);
  PlaceInSkin(control, QRect(r.x, r.y, r.width, r.height));
}

void PlaceWithFaceKey(CPngButton& button, const QString& iniPath, const QString& rectSection,
                      const QString& rectKey, const QString& faceSection, const QString& faceKey,
                      const QPixmap& picture) {
  const auto r = ReadSkinRect(iniPath, rectSection, rectKey);
  const auto face = ReadSkinRect(iniPath, faceSection, faceKey);
  PlaceInSkin(button, QRect(r.x, r.y, r.width, r.height));
  button.SetStatePictures(picture, picture, picture, picture, picture);
  button.SetFaceOrigin(face.x, face.y);
}

void MoveControl(QWidget& control, const QString& iniPath, const QString& section, const QString& key) {
  const auto r = ReadSkinRect(iniPath, section, key);
  PlaceInSkin(control, QRect(QPoint(r.x, r.y), SkinSize(control)));
  control.update();
}

QPoint CentredOver(const QRect& opener, const QSize& size, const QRect& area) {
  QPoint at = opener.center() - QPoint(size.width() / 2, size.height() / 2) + QPoint(1, 1);
  at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width())));
  at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height())));
  return at;
}

void PlaceOverOpener(QWidget& window, const QWidget* opener) {
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
  const bool shown = opener && opener->isVisible() && !opener->isMinimized();
  QScreen* screen = shown ? opener->screen() : QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  window.move(CentredOver(shown ? opener->frameGeometry() : area, window.size(), area));
}

QRegion MaskToRegion(const QImage& mask) {
  if (mask.isNull()) return {};
  const QImage img = mask.convertToFormat(QImage::Format_RGB32);
  const auto* bits = reinterpret_cast<const std::uint32_t*>(img.constBits());
  const int stride = static_cast<int>(img.bytesPerLine() / 4);
  const std::span<const std::uint32_t> pixels(bits, static_cast<std::size_t>(stride) * img.height());
  QRegion shape;
  std::vector<QRect> rects;
  rects.reserve(text::kShapeBatchSize);
  text::MaskToRuns(pixels, img.width(), img.height(), stride, [&](std::span<const text::ShapeRun> batch) {
    rects.clear();
    for (const auto& run : batch) rects.emplace_back(run.x, run.y, run.width, 1);
    QRegion part;
    part.setRects(rects.data(), static_cast<int>(rects.size()));
    shape = shape.united(part);
  });
  return shape;
}

DialogSkin ApplyDialogSkin(QWidget& dialog, const QString& iniPath, const QString& skinFolder) {
  DialogSkin skin;
  if (const std::string problem = RegularFileProblem(ToPath(iniPath)); !problem.empty()) {
    skin.problem = iniPath + ": " + QString::fromStdString(problem);
    return skin;
  }
  const text::CIniFile ini(ToPath(iniPath));
  const auto main = ini.ReadString("SCREEN", "Main");
  if (!main) {
    skin.problem = iniPath + ": names no background picture (key Main in section SCREEN)";
    return skin;
  }
  const auto maskName = ini.ReadString("SCREEN", "Mask", *main);
  const QDir folder(skinFolder);
  const QString backgroundPath = folder.filePath(QString::fromStdString(*main));
  const QString maskPath = folder.filePath(QString::fromStdString(maskName.value_or(*main)));
  skin.background = LoadSkinPixmap(backgroundPath);
  // The shape is made in logical pixels: always from the picture of the INI's own size.
  if (IsRegular(maskPath)) skin.mask.load(maskPath);
  if (skin.background.isNull() || skin.background.width() < 1 || skin.background.height() < 1) {
    skin.background = QPixmap();
    skin.problem = SkinPictureProblem(backgroundPath);
    if (skin.problem.isEmpty()) skin.problem = backgroundPath + ": cannot be read as a picture";
    return skin;
  }
  dialog.resize(skin.background.deviceIndependentSize().toSize());
  if (!skin.mask.isNull()) dialog.setMask(MaskToRegion(skin.mask));
  return skin;
}

void SetProcessEndAction(ProcessEndAction action) { EndAction() = std::move(action); }

namespace {
QString& EndReason() {
  static QString reason;
  return reason;
}
}  // namespace

void EndProcess(int exitCode, const QString& reason) {
  EndReason() = reason;
  if (EndAction()) {
    EndAction()(exitCode);
    return;
  }
  std::exit(exitCode);
}

QString ProcessEndReason() { return EndReason(); }

QString SkinPictureProblem(const QString& path) {
  if (const std::string problem = RegularFileProblem(ToPath(path)); !problem.empty()) {
    return path + ": " + QString::fromStdString(problem);
  }
  QImageReader reader(path);
  if (!reader.canRead() || !reader.size().isValid() || reader.size().isEmpty()) {
    return path + ": cannot be read as a picture (" + reader.errorString() + ")";
  }
  return {};
}

qreal SkinPictureRatio() {
  const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  return app ? app->devicePixelRatio() : 1.0;
}

QPixmap LoadSkinPixmap(const QString& path) {
  if (!IsRegular(path)) return {};
  if (SkinPictureRatio() > 1.0) {
    // The twin is used only when it really is twice the picture: a skin whose "@2x" file
    // does not match its coordinates falls back to the picture itself.
    const QString twin = TwinPath(path);
    if (IsRegular(twin) && QImageReader(twin).size() == QImageReader(path).size() * 2) {
      QPixmap sharp;
      if (sharp.load(twin)) {
        sharp.setDevicePixelRatio(2.0);
        return sharp;
      }
    }
  }
  QPixmap picture;
  picture.load(path);
  picture.setDevicePixelRatio(1.0);
  return picture;
}

QPixmap OptionalPicture(const QString& path) { return LoadSkinPixmap(path); }

QIcon OptionalIcon(const QString& path) {
  // Built from the pictures themselves rather than QIcon(path): QIcon would open the file
  // and its "@2x" twin without asking whether they are regular files.
  const QPixmap one = LoadSkinPixmap(path);
  if (one.isNull()) return QIcon();
  QIcon icon(one);
  if (one.devicePixelRatio() == 1.0 && IsRegular(TwinPath(path))) {
    QPixmap two;
    if (two.load(TwinPath(path))) {
      two.setDevicePixelRatio(2.0);
      icon.addPixmap(two);
    }
  }
  return icon;
}

QPixmap RequiredSkinPicture(const QString& skinFolder, const QString& name) {
  const QString path = QDir(skinFolder).filePath(name);
  {
    QMutexLocker lock(&Cache().mutex);
    const auto it = Cache().pictures.constFind(path);
    if (it != Cache().pictures.constEnd()) return *it;
  }
  const QPixmap picture = LoadSkinPixmap(path);
  if (picture.isNull()) {
    QString problem = SkinPictureProblem(path);
    if (problem.isEmpty()) problem = path + ": cannot be read as a picture";
    EndProcess(0, problem);
    return {};
  }
  QMutexLocker lock(&Cache().mutex);
  Cache().pictures.insert(path, picture);
  return picture;
}

void ClearSkinPictureCache() {
  QMutexLocker lock(&Cache().mutex);
  Cache().pictures.clear();
}

}  // namespace vantrel::ui
