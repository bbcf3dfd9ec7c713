// The generated skin in the program folder: every key and picture each dialog needs, and
// pictures that agree with the coordinates.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QRect>
#include <set>

#include "core/text/ini_file.h"
#include "core/keys/keyboard_layout.h"
#include "core/text/skin_keys.h"
#include "core/text/skin_values.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui_test_app.h"

namespace vantrel::ui {
namespace {

const QDir kSkins(QStringLiteral(VANTREL_BIN_DIR "/Skins"));

std::filesystem::path IniOf(text::SkinFile file) {
  return std::filesystem::path(VANTREL_BIN_DIR "/Skins") / std::string(text::SkinFileName(file));
}

QSize SizeOf(const QString& name) { return QImageReader(kSkins.filePath(name)).size(); }

TEST(SkinData, EveryFileHasItsPicturesAndPlacesEveryKeyInsideTheWindow) {
  for (auto file : text::kAllSkinFiles) {
    SCOPED_TRACE(std::string(text::SkinFileName(file)));
    const text::CIniFile ini(IniOf(file));
    const auto main = ini.ReadString("SCREEN", "Main");
    const auto mask = ini.ReadString("SCREEN", "Mask");
    ASSERT_TRUE(main && mask);
    const QSize window = SizeOf(QString::fromStdString(*main));
    ASSERT_TRUE(window.isValid());
    EXPECT_EQ(SizeOf(QString::fromStdString(*mask)), window);
    for (const auto& picture : text::SkinStatePictures(file)) {
      SCOPED_TRACE(picture);
      // Arrow.jpg holds the indicator faces; every other state picture covers the window.
      const QSize size = SizeOf(QString::fromStdString(picture));
      ASSERT_TRUE(size.isValid());
      if (picture != "Arrow.jpg") {
        EXPECT_EQ(size, window);
      }
    }
    const QRect inside(QPoint(0, 0), window);
    for (const auto& key : text::SkinButtonKeys(file)) {
      SCOPED_TRACE(key);
      const auto value = ini.ReadString("BUTTONINFO", key);
      ASSERT_TRUE(value.has_value());
      const auto r = text::ParseSkinRect(*value);
      EXPECT_FALSE(text::IsDisabledPlacement(r));
      EXPECT_TRUE(inside.contains(QRect(r.x, r.y, r.width, r.height)));
    }
  }
}

TEST(SkinData, MainWindowKeyButtonsAreDistinctAndDoNotOverlap) {
  const auto path = IniOf(text::SkinFile::Main);
  std::vector<std::string> keys;
  for (const auto& k : keys::KeyboardLayout()) keys.push_back(keys::SkinKeyOf(k));
  EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), 118u);
  std::vector<QRect> rects;
  for (const auto& key : keys) {
    const auto r = text::ReadSkinRect(path, "BUTTONINFO", key);
    rects.emplace_back(r.x, r.y, r.width, r.height);
  }
  for (std::size_t i = 0; i < rects.size(); ++i)
    for (std::size_t j = i + 1; j < rects.size(); ++j)
      EXPECT_FALSE(rects[i].intersects(rects[j])) << keys[i] << " and " << keys[j];
}

TEST(SkinData, ArrowFacesPanelPicturesAndIcons) {
  const auto path = IniOf(text::SkinFile::Main);
  const QSize arrow = SizeOf("Arrow.jpg");
  const auto indicator = text::ReadSkinRect(path, "BUTTONINFO", "LEFT_ARROW");
  for (const auto& key : text::ArrowFaceKeys()) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(text::CIniFile(path).ReadString("BUTTONINFO2", key).has_value());
    const auto face = text::ReadSkinRect(path, "BUTTONINFO2", key);
    const auto origin = text::FaceSourceOrigin(face.x, face.y);
    EXPECT_TRUE(QRect(QPoint(0, 0), arrow).contains(QRect(origin.x, origin.y, indicator.width, indicator.height)));
  }
  EXPECT_FALSE(text::CIniFile(path).ReadString("SCREEN", "Link").value_or("").empty());
  for (const auto& name : text::LightingPanelPictures()) {
    SCOPED_TRACE(name);
    QImageReader reader(kSkins.filePath(QString::fromStdString(name)));
    EXPECT_EQ(reader.format(), "bmp");
    EXPECT_FALSE(reader.read().isNull());
  }
  // Brightness and speed channel pictures fill the slider they are drawn in.
  const auto slider = text::ReadSkinRect(path, "BUTTONINFO", "CONTROL_LightSlider");
  EXPECT_EQ(SizeOf("0.bmp"), QSize(slider.width, slider.height));
  for (const auto& name : text::IconPictures()) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(QImage(kSkins.filePath(QString::fromStdString(name))).isNull());
  }
}

TEST(SkinData, HelpPageIsThere) {
  QFile help(QStringLiteral(VANTREL_BIN_DIR "/Help/index.html"));
  ASSERT_TRUE(help.open(QIODevice::ReadOnly));
  EXPECT_TRUE(help.readAll().contains("<h1"));
}

// Builds every dialog of the gallery from the generated skin, checks that a placed key
// button shows the same pixels as the normal state picture under it, and saves a
// screenshot of each dialog into the build folder.
TEST(SkinGallery, DialogsMatchTheirPicturesAndAreSaved) {
  test::App();
  int ends = 0;
  SetProcessEndAction([&](int) { ++ends; });
  SkinGallery gallery(kSkins.path());
  ASSERT_EQ(gallery.dialogs().size(), text::kAllSkinFiles.size());
  EXPECT_EQ(ends, 0);
  QDir out(QStringLiteral(VANTREL_BIN_DIR "/../skin_screenshots"));
  out.mkpath(".");
  for (auto* dialog : gallery.dialogs()) {
    const QString name = QString::fromLatin1(text::SkinFileName(dialog->file()).data()).section('.', 0, 0);
    SCOPED_TRACE(name.toStdString());
    ASSERT_TRUE(dialog->hasSkin());
    dialog->show();
    const QImage shot = dialog->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(out.filePath(name + ".png")));
    EXPECT_FALSE(dialog->mask().isEmpty());
  }
  // Key A of the main window at rest shows the normal picture from one pixel up and left.
  auto* mainDialog = gallery.dialogs()[0];
  auto* keyA = mainDialog->control("KEY_01E");
  ASSERT_NE(keyA, nullptr);
  const QImage normal(kSkins.filePath("main_normal.jpg"));
  const QImage face = keyA->grab().toImage();
  const QPoint c(keyA->width() / 2, 4);
  const QColor want = normal.pixelColor(keyA->x() - 1 + c.x(), keyA->y() - 1 + c.y());
  const QColor got = face.pixelColor(c);
  EXPECT_NEAR(got.red(), want.red(), 2);
  EXPECT_NEAR(got.green(), want.green(), 2);
  SetProcessEndAction({});
}

}  // namespace
}  // namespace vantrel::ui
