// The windows as the user sees them: the main window, the key page and the profile manager
// at scale 1 and 2 in French and Traditional Chinese, and the standard dialogs in the dark
// look. Pictures for review go to build/screenshots/look/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "core/keys/keyboard_layout.h"
#include "core/text/skin_values.h"
#include "sim/simulated_hid_service.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_look.h"
#include "ui/skin/skin_placement.h"
#include "ui/skin/skin_scale.h"
#include "ui/ui_test_app.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/key_page.h"
#include "ui/windows/lighting_panel.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"
#include "ui/windows/file_menu.h"
#include "ui/windows/profile_manager.h"
#include "ui/windows/update_dialog.h"
#include "ui/app/ui_services.h"

namespace vantrel::ui {
namespace {

const QString kShots = QStringLiteral(VANTREL_BIN_DIR "/../screenshots/look");
const QDir kSkins(QStringLiteral(VANTREL_BIN_DIR "/Skins"));

void Save(const QPixmap& shot, const QString& name) {
  ASSERT_TRUE(QDir().mkpath(kShots));
  EXPECT_TRUE(shot.save(kShots + "/" + name + ".png")) << name.toStdString();
}

using test::ProcessUntil;

// The whole program over the virtual keyboard in one language.
class Program {
 public:
  Program(const std::string& name, std::uint32_t languageId) : folder_("look_" + name) {
    test::App();
    const AppOptions options = test::SimulatedProgramOptions(folder_.Path(), languageId);
    core = std::make_unique<AppCore>(options);
    std::string error;
    EXPECT_TRUE(core->OpenDevice(&error)) << error;
    window = std::make_unique<CVantrelDlg>(*core, sink, files);
    window->SetKeyPageModal(false);
    window->InitDialog();
    window->Start(nullptr);
    EXPECT_TRUE(ProcessUntil([this] { return window->InitDone(); }));
    Settle();
  }
  ~Program() {
    if (!window->Closing()) window->CloseProgram();
    window.reset();
    core.reset();
  }
  void Settle() {
    test::SettleProgram(*core, [this] { return window && window->Panel() && window->Panel()->Busy(); });
  }
  QString Text(const char* key) const { return QString::fromStdString(core->Texts().Text(key)); }

  std::unique_ptr<AppCore> core;
  test::FakeMessageSink sink;
  test::FakeFileChooser files;
  std::unique_ptr<CVantrelDlg> window;

 private:
  test::ProgramFolder folder_;
};

// How many device pixels of the area `logical` differ by more than 12 in a colour channel
// between `shot` and a picture of the same density (read `offset` logical pixels away).
int DifferingPixels(const QImage& shot, const QImage& picture, const QRect& logical, int ratio,
                    const QPoint& offset = {}) {
  const QRect device(logical.topLeft() * ratio, logical.size() * ratio);
  const QImage a = shot.copy(device).convertToFormat(QImage::Format_RGB32);
  const QImage b = picture.copy(device.translated(offset * ratio)).convertToFormat(QImage::Format_RGB32);
  if (a.size() != b.size() || a.isNull()) return -1;
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) > 12 || std::abs(qGreen(p) - qGreen(q)) > 12 ||
          std::abs(qBlue(p) - qBlue(q)) > 12)
        ++count;
    }
  return count;
}

QImage SourcePicture(const QString& name, int ratio) {
  if (ratio == 1) return QImage(kSkins.filePath(name));
  const int dot = name.lastIndexOf('.');
  return QImage(kSkins.filePath(name.left(dot) + "@2x" + name.mid(dot)));
}

// The window's grab: twice the pixels at scale 2, and an area of plain background the
// same as the picture of that density (a scaled-up picture differs at every edge).
void CheckSharp(QWidget& w, const QString& background, const QRect& plain, const QString& shotName) {
  SCOPED_TRACE(shotName.toStdString());
  QApplication::processEvents();
  const int ratio = qRound(w.devicePixelRatioF());
  const QPixmap shot = w.grab();
  ASSERT_FALSE(shot.isNull());
  Save(shot, shotName);
  EXPECT_EQ(shot.size(), w.size() * ratio);
  EXPECT_EQ(shot.deviceIndependentSize().toSize(), w.size());
  const QImage source = SourcePicture(background, ratio);
  ASSERT_EQ(source.size(), w.size() * ratio);
  EXPECT_EQ(DifferingPixels(shot.toImage(), source, plain, ratio), 0);
  if (ratio == 2) {
    // The same area enlarged from the small picture differs along every edge.
    const QImage enlarged = QImage(kSkins.filePath(background))
                                .scaled(w.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(DifferingPixels(shot.toImage(), enlarged, plain, 2), 100);
  }
  // The window's shape stays in logical pixels.
  EXPECT_EQ(w.mask().boundingRect(), QRect(QPoint(0, 0), w.size()));
}

void ShootWindows(const std::string& language, std::uint32_t languageId) {
  const int ratio = qRound(qApp->devicePixelRatio());
  const QString tag = QString::fromStdString(language) + QString("_x%1").arg(ratio);
  Program p(language, languageId);
  CVantrelDlg& main = *p.window;
  main.show();
  // Between the logo and the title buttons: the title bar and its accent line.
  CheckSharp(main, "main_bg.jpg", QRect(340, 44, 600, 20), "main_" + tag);
  // The Flip keys' faces are widened from F1's face at the pictures' own density.
  main.Button(ids::kFlip1)->click();
  p.Settle();
  Save(main.grab(), "main_flip_" + tag);
  main.Button(ids::kFlip1)->click();
  p.Settle();

  main.OpenProfileManager();
  p.Settle();
  auto* manager = main.ProfileManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->titleText(), p.Text("PROFILE_TITLE"));
  EXPECT_EQ(manager->windowTitle(), p.Text("PROFILE_TITLE"));
  CheckSharp(*manager, "Profile_bg.jpg", QRect(20, 40, 440, 18), "profile_manager_" + tag);
  // The title is drawn as text where the picture is plain.
  const QRect title = manager->titleRect();
  ASSERT_FALSE(title.isEmpty());
  EXPECT_GT(DifferingPixels(manager->grab().toImage(), SourcePicture("Profile_bg.jpg", ratio), title, ratio), 50);
  // A button's face comes from its place in the state picture at either density (a button
  // at x, y shows the picture from x - 1, y - 1); its top rows lie above the caption.
  const auto add = ReadSkinRect(manager->iniPath(), "BUTTONINFO", "FUNC_ADD");
  EXPECT_EQ(DifferingPixels(manager->grab().toImage(), SourcePicture("Profile_normal.jpg", ratio),
                            QRect(add.x, add.y, add.width, 6), ratio, QPoint(-1, -1)),
            0);
  manager->CloseProfileManager();
  p.Settle();

  ASSERT_NE(main.BackupMenu(), nullptr);
  CVantrel_DlgUpdate* update = main.UpdateDialog();
  ASSERT_NE(update, nullptr);
  update->Open();
  p.Settle();
  EXPECT_EQ(update->titleText(), p.Text("UPDATE_TITLE"));
  CheckSharp(*update, "update_bg.jpg", QRect(20, 40, 400, 12), "update_dialog_" + tag);
  update->CancelUpdate();
  p.Settle();

  main.OpenKeyPage(keys::OrdinaryLayoutKeys()[0].controlId);
  p.Settle();
  ASSERT_NE(main.KeyPage(), nullptr);
  CheckSharp(*main.KeyPage(), "key_bg.jpg", QRect(20, 40, 560, 12), "key_page_" + tag);
  main.KeyPage()->ClosePage();
  p.Settle();
}

// At scale 1 the test also runs itself again at scale 2 (the scale is fixed when the
// application starts).
TEST(WindowLook, WindowsAreSharpAtScaleOneAndTwoInFrenchAndChinese) {
  test::App();
  ShootWindows("fr", 1036);
  ShootWindows("zh_tw", 1028);
  if (qApp->devicePixelRatio() > 1.0) return;
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_SCALE_FACTOR", "2");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=WindowLook.WindowsAreSharpAtScaleOneAndTwoInFrenchAndChinese"});
  ASSERT_TRUE(child.waitForFinished(120000));
  const QByteArray output = child.readAll();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// How far two pictures of one size are apart: the mean difference of the colour channels,
// and the share of pixels that differ by more than 64 in a channel.
std::pair<double, double> PictureDistance(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  long long far = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col) {
      const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
      const int dr = std::abs(qRed(p) - qRed(q)), dg = std::abs(qGreen(p) - qGreen(q)), db = std::abs(qBlue(p) - qBlue(q));
      sum += dr + dg + db;
      if (std::max({dr, dg, db}) > 64) ++far;
    }
  const double pixels = static_cast<double>(x.width()) * x.height();
  return {sum / (3 * pixels), static_cast<double>(far) / pixels};
}

// On a screen narrower than the main window the whole skin is drawn smaller, its proportions
// kept: every control sits inside the window where the skin puts it, the window looks like
// the skin made smaller, a slider answers the pointer where its thumb is drawn, and at
// factor 1 the window is drawn as before.
TEST(WindowLook, OnAScreenNarrowerThanTheMainWindowTheSkinIsDrawnScaledToFit) {
  test::App();
  Program p("scaled", 1033);
  CVantrelDlg& main = *p.window;
  main.show();
  p.Settle();
  const QSize skin = main.skinSize();
  ASSERT_EQ(main.size(), skin);
  ASSERT_GT(skin.width(), 1280);
  QApplication::processEvents();
  const QImage natural = main.grab().toImage();
  std::vector<std::pair<QWidget*, QRect>> places;
  for (QObject* object : main.children()) {
    if (auto* child = qobject_cast<QWidget*>(object); child != nullptr && !child->isWindow())
      places.emplace_back(child, child->geometry());
  }

  const qreal factor = FittingScaleFactor(skin, QRect(0, 0, 1280, 1024));
  ASSERT_LT(factor, 1.0);
  main.SetSkinScale(factor);
  QApplication::processEvents();
  EXPECT_EQ(main.size(), ScaledSize(skin, factor));
  EXPECT_LE(main.width(), 1280);
  EXPECT_TRUE(main.rect().contains(main.mask().boundingRect()));
  EXPECT_GE(main.mask().boundingRect().width(), main.width() - 1);
  for (const auto& [child, place] : places) {
    SCOPED_TRACE(child->objectName().toStdString());
    EXPECT_EQ(child->geometry(), ScaledRect(place, factor));
    if (child->isVisible()) {
      EXPECT_TRUE(main.rect().contains(child->geometry()));
    }
  }
  for (const int id : {ids::kOk, ids::kCancel, ids::kReport[3]}) {
    const CPngButton* button = nullptr;
    for (const CPngButton* candidate : main.findChildren<CPngButton*>()) {
      if (candidate->controlId() == id) button = candidate;
    }
    ASSERT_NE(button, nullptr) << id;
    EXPECT_TRUE(button->isVisible()) << id;
    EXPECT_TRUE(main.rect().contains(button->geometry())) << id;
  }
  const QImage scaled = main.grab().toImage();
  Save(QPixmap::fromImage(scaled), "main_scaled_to_1280");
  const auto [mean, far] =
      PictureDistance(scaled, natural.scaled(scaled.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  EXPECT_LT(mean, 6.0);
  EXPECT_LT(far, 0.02);

  // Back at 1: the same pixels as before.
  main.SetSkinScale(1.0);
  QApplication::processEvents();
  EXPECT_EQ(main.size(), skin);
  for (const auto& [child, place] : places) EXPECT_EQ(child->geometry(), place);
  EXPECT_EQ(DifferingPixels(main.grab().toImage(), natural, QRect(QPoint(0, 0), skin), 1), 0);

  // A slider's thumb positions, where they are drawn at a small factor.
  main.SetSkinScale(0.6);
  QApplication::processEvents();
  CBitmapSlider* slider = nullptr;
  for (CBitmapSlider* candidate : main.findChildren<CBitmapSlider*>()) {
    if (candidate->maximum() > candidate->minimum()) slider = candidate;
  }
  ASSERT_NE(slider, nullptr);
  const QSize track = SkinSize(*slider);
  EXPECT_EQ(slider->size(), ScaledRect(QRect(QPoint(0, 0), track), 0.6).size());
  const int margin = 10, span = slider->maximum() - slider->minimum();
  for (int position = slider->minimum(); position <= slider->maximum(); ++position) {
    const int drawnAt = margin + (track.width() - 2 * margin - 1) * (position - slider->minimum()) / span;
    EXPECT_EQ(slider->PositionAt(qRound(drawnAt * 0.6)), position);
  }
  main.SetSkinScale(1.0);
}

// The program as it opens on a 1280-pixel screen: the window and the controls made after it
// (the lighting panel's) are drawn at the screen's factor. Runs itself again on such a screen.
TEST(WindowLook, TheMainWindowOpensScaledToFitA1280PixelScreen) {
  test::App();
  if (QGuiApplication::primaryScreen()->availableGeometry().width() != 1280) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VANTREL_TEST_SCREENS", VANTREL_SOURCE_DIR "/tests/ui/offscreen_1280.json");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=WindowLook.TheMainWindowOpensScaledToFitA1280PixelScreen"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return;
  }
  Program p("narrow_screen", 1033);
  CVantrelDlg& main = *p.window;
  main.show();
  p.Settle();
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(main.skinScale(), FittingScaleFactor(main.skinSize(), QRect(0, 0, 1280, 1024)));
  EXPECT_EQ(main.size(), ScaledSize(main.skinSize(), main.skinScale()));
  EXPECT_LE(main.width(), 1280);
  for (QWidget* child : main.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() || !child->isVisible()) continue;
    SCOPED_TRACE(child->objectName().toStdString());
    EXPECT_TRUE(main.rect().contains(child->geometry()));
    // Every control was made smaller with the window, the lighting panel's too.
    if (SkinSize(*child).width() >= 40) {
      EXPECT_LT(child->width(), SkinSize(*child).width());
    }
  }
  const auto sliders = main.findChildren<CBitmapSlider*>();
  ASSERT_FALSE(sliders.isEmpty());
  for (const CBitmapSlider* slider : sliders) EXPECT_LT(slider->width(), SkinSize(*slider).width());
  Save(main.grab(), "main_on_1280_screen");
}

// Every picture of the skin has its twin of twice the size, so no window falls back to an
// enlarged picture.
TEST(WindowLook, EverySkinPictureHasItsDoubleSizeTwin) {
  const QStringList pictures = kSkins.entryList({"*.jpg", "*.bmp", "*.png"}, QDir::Files);
  int twins = 0;
  for (const QString& name : pictures) {
    if (name.contains("@2x")) continue;
    SCOPED_TRACE(name.toStdString());
    const int dot = name.lastIndexOf('.');
    const QSize twin = QImageReader(kSkins.filePath(name.left(dot) + "@2x" + name.mid(dot))).size();
    EXPECT_EQ(twin, QImageReader(kSkins.filePath(name)).size() * 2);
    ++twins;
  }
  EXPECT_GT(twins, 40);
}

// The lock lamps' and the Flip switch's captions are the program's, in the user's language:
// the skin's pictures leave their place empty (a caption drawn into them was English in
// every language). Empty means no pixel strays far from the place's first one: a caption
// differs from its ground by a hundred levels and more, a pressed face's shading and the
// pictures' compression by a few dozen at most.
TEST(WindowLook, SkinPicturesLeaveTheLampAndFlipCaptionsToTheProgram) {
  test::App();
  const auto ini = std::filesystem::path(VANTREL_BIN_DIR) / "Skins" / "Main.ini";
  struct Place {
    const char* key;
    int left, right;  // kept out of the caption's place: the lamp, the rounded ends
  };
  const Place places[] = {{"LOCK_CAPS", 24, 10}, {"LOCK_NUM", 24, 10}, {"LOCK_SCROLL", 24, 10},
                          {"LOCK_AB", 24, 10},   {"FLIP_0", 8, 8}};
  for (const char* picture : {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg"}) {
    const QImage image(kSkins.filePath(QString::fromLatin1(picture)));
    ASSERT_FALSE(image.isNull()) << picture;
    for (const Place& place : places) {
      SCOPED_TRACE(std::string(picture) + " " + place.key);
      const text::SkinRect r = text::ReadSkinRect(ini, "BUTTONINFO", place.key);
      const QRect area(r.x + place.left, r.y + 7, r.width - place.left - place.right, r.height - 14);
      ASSERT_TRUE(image.rect().contains(area));
      const QColor first = image.pixelColor(area.topLeft());
      int furthest = 0;
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
          const QColor c = image.pixelColor(x, y);
          furthest = std::max({furthest, std::abs(c.red() - first.red()), std::abs(c.green() - first.green()),
                               std::abs(c.blue() - first.blue())});
        }
      EXPECT_LT(furthest, 48);
    }
  }
}

// A skin whose twin does not match its picture is used at its own size; at scale 1 the
// twin is never read.
TEST(WindowLook, MismatchedTwinIsIgnored) {
  test::App();
  const QString dir = QDir::tempPath() + "/vantrel_look_twins";
  QDir(dir).removeRecursively();
  ASSERT_TRUE(QDir().mkpath(dir));
  QImage one(10, 8, QImage::Format_RGB32);
  one.fill(Qt::red);
  ASSERT_TRUE(one.save(dir + "/a.png"));
  QImage wrong(15, 8, QImage::Format_RGB32);
  wrong.fill(Qt::blue);
  ASSERT_TRUE(wrong.save(dir + "/a@2x.png"));
  const QPixmap loaded = LoadSkinPixmap(dir + "/a.png");
  EXPECT_EQ(loaded.deviceIndependentSize().toSize(), QSize(10, 8));
  EXPECT_EQ(loaded.toImage().pixelColor(0, 0), QColor(Qt::red));
  QDir(dir).removeRecursively();
}

// Message boxes and file dialogs take the skin's dark palette and Qt's own file dialog,
// the same whichever window opens them.
TEST(WindowLook, MessageBoxAndFileDialogsAreDark) {
  test::App();
  const QColor window = QApplication::palette().color(QPalette::Window);
  EXPECT_LT(window.lightness(), 60);

  const QString empty = QDir::tempPath() + "/vantrel_look_empty";
  QDir(empty).removeRecursively();
  ASSERT_TRUE(QDir().mkpath(empty));
  QWidget plain;
  QWidget styled;
  styled.setStyleSheet(SkinStyleSheet());
  std::vector<QImage> dialogs;
  for (QWidget* parent : {&plain, &styled}) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      poll.stop();
      EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
      dialog->resize(640, 420);
      QApplication::processEvents();
      dialogs.push_back(dialog->grab().toImage());
      dialog->reject();
    });
    poll.start(10);
    QtFileChooser chooser;
    FileChoice choice;
    choice.folder = empty;
    choice.filter = QStringLiteral("Profile files (*.vnp);;All files (*)");
    EXPECT_FALSE(chooser.ChooseOpen(parent, choice).has_value());
  }
  ASSERT_EQ(dialogs.size(), 2u);
  Save(QPixmap::fromImage(dialogs[0]), "file_dialog");
  Save(QPixmap::fromImage(dialogs[1]), "file_dialog_from_skinned_window");
  // The same dialog either way; only what it remembers between openings (the history
  // buttons, the focus) may differ.
  ASSERT_EQ(dialogs[0].size(), dialogs[1].size());
  const int differing = DifferingPixels(dialogs[0], dialogs[1], dialogs[0].rect(), 1);
  EXPECT_LT(differing, dialogs[0].width() * dialogs[0].height() / 50) << "the file dialog looks different when opened from a skinned window";
  EXPECT_LT(dialogs[0].pixelColor(dialogs[0].width() / 2, 4).lightness(), 60);

  bool shown = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll.stop();
    shown = true;
    QApplication::processEvents();
    const QImage shot = box->grab().toImage();
    Save(QPixmap::fromImage(shot), "message_box");
    EXPECT_LT(shot.pixelColor(2, 2).lightness(), 60);
    box->accept();
  });
  poll.start(10);
  QtMessageSink sink(&styled);
  sink.ShowMessage("Le profil n'a pas pu être restauré.");
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace vantrel::ui
