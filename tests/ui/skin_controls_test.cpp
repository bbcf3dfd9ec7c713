#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBackingStore>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <utility>
#include <vector>

#include "ui/skin/base_dialog.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_color_btn.h"
#include "ui/skin/skin_placement.h"
#include "ui_test_app.h"

namespace vantrel::ui {
namespace {

QPixmap Solid(const QColor& c, int w = 64, int h = 64) {
  QPixmap p(w, h);
  p.fill(c);
  return p;
}

// Each pixel encodes its own position: red = x, green = y.
QPixmap PositionPicture(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x, y, 0x40));
  return QPixmap::fromImage(img);
}

// Same covered area, whatever the rectangles the region is made of.
bool SameArea(const QRegion& a, const QRegion& b) { return a.xored(b).isEmpty(); }

class SkinTest : public ::testing::Test {
 protected:
  // Before any member widget of a derived fixture is built.
  SkinTest() { test::App(); }
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString WriteIni(const QString& text) {
    const QString path = dir_.filePath("skin.ini");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
    return path;
  }
  QTemporaryDir dir_;
};

TEST_F(SkinTest, PlacementReadsRectanglesAndDisablesAtOneOne) {
  const QString ini = WriteIni(
      "[BUTTONINFO]\nFUNC_ADD=10,20,30,40\nFUNC_LOAD=10,20,30,40,any text\nFUNC_DELETE=1,1,1,1\n");
  const QPixmap pic = Solid(Qt::gray);
  CPngButton placed, trailing, oneOne, missing;
  PlaceSkinnedButton(placed, ini, "BUTTONINFO", "FUNC_ADD", pic, pic, pic, pic, pic);
  PlaceSkinnedButton(trailing, ini, "BUTTONINFO", "FUNC_LOAD", pic, pic, pic, pic, pic);
  PlaceSkinnedButton(oneOne, ini, "BUTTONINFO", "FUNC_DELETE", pic, pic, pic, pic, pic);
  PlaceSkinnedButton(missing, ini, "BUTTONINFO", "CONTROL_OK", pic, pic, pic, pic, pic);
  EXPECT_EQ(placed.geometry(), QRect(10, 20, 30, 40));
  EXPECT_EQ(trailing.geometry(), QRect(10, 20, 30, 40));
  EXPECT_EQ(placed.faceOrigin(), QPoint(10, 20));
  EXPECT_TRUE(placed.isEnabled());
  EXPECT_FALSE(oneOne.isEnabled());
  EXPECT_FALSE(missing.isEnabled());
  EXPECT_EQ(missing.geometry(), QRect(1, 1, 1, 1));

  // Other controls are placed but never disabled; moving keeps the size.
  QWidget label, moved;
  PlaceControl(label, ini, "BUTTONINFO", "FUNC_DELETE");
  EXPECT_TRUE(label.isEnabled());
  moved.resize(77, 33);
  MoveControl(moved, ini, "BUTTONINFO", "FUNC_ADD");
  EXPECT_EQ(moved.geometry(), QRect(10, 20, 77, 33));
}

TEST_F(SkinTest, ButtonFaceComesFromOneLeftAndUpOfItsPosition) {
  const QString ini = WriteIni("[BUTTONINFO]\nKEY_01E=5,7,10,8\n");
  const QPixmap pic = PositionPicture(40, 40);
  QWidget parent;
  parent.resize(40, 40);
  auto* button = new CPngButton(&parent);
  PlaceSkinnedButton(*button, ini, "BUTTONINFO", "KEY_01E", pic, pic, pic, pic, pic);
  const QImage face = button->grab().toImage();
  ASSERT_EQ(face.size(), QSize(10, 8));
  EXPECT_EQ(face.pixel(0, 0), qRgb(4, 6, 0x40));
  EXPECT_EQ(face.pixel(9, 7), qRgb(13, 13, 0x40));

  // The face key of an indicator sets the origin; its rectangle comes from the other key.
  const QString ini2 = WriteIni("[BUTTONINFO]\nLEFT_ARROW=30,30,4,4\n[BUTTONINFO2]\nUP_ARROW_LEFT2=3,9,0,0\n");
  CPngButton arrow;
  PlaceWithFaceKey(arrow, ini2, "BUTTONINFO", "LEFT_ARROW", "BUTTONINFO2", "UP_ARROW_LEFT2", pic);
  EXPECT_EQ(arrow.geometry(), QRect(30, 30, 4, 4));
  EXPECT_EQ(arrow.grab().toImage().pixel(0, 0), qRgb(2, 8, 0x40));
}

TEST_F(SkinTest, FaceChoiceOrderFirstMatchWins) {
  using F = ButtonFace;
  EXPECT_EQ(ChooseButtonFace(false, true, true, true, true, true), F::Disabled);
  EXPECT_EQ(ChooseButtonFace(true, true, false, true, true, true), F::Toggle1);
  EXPECT_EQ(ChooseButtonFace(true, true, true, true, true, true), F::Toggle2);
  EXPECT_EQ(ChooseButtonFace(true, false, true, true, true, true), F::Pressed);
  EXPECT_EQ(ChooseButtonFace(true, false, false, false, true, true), F::Hover);
  EXPECT_EQ(ChooseButtonFace(true, false, false, false, false, true), F::Selected);
  EXPECT_EQ(ChooseButtonFace(true, false, false, false, false, false), F::Normal);
}

TEST_F(SkinTest, DisabledButtonShowsDisabledPictureWhileHoveredOrPressed) {
  QWidget parent;
  parent.resize(100, 100);
  auto* b = new CPngButton(&parent);
  b->setGeometry(10, 10, 20, 20);
  b->SetFaceOrigin(1, 1);
  b->SetStatePictures(Solid(Qt::red), Solid(Qt::green), Solid(Qt::blue), Solid(Qt::darkGray), Solid(Qt::yellow));
  parent.show();
  QTest::mouseMove(b, QPoint(5, 5));
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(15, 15));
  QCoreApplication::sendEvent(b, &enter);
  ASSERT_TRUE(b->isHovering());
  EXPECT_EQ(b->grab().toImage().pixel(3, 3), QColor(Qt::green).rgb());
  b->SetSelected(true);
  b->setDown(true);
  EXPECT_EQ(b->grab().toImage().pixel(3, 3), QColor(Qt::blue).rgb());
  b->setEnabled(false);
  EXPECT_EQ(b->currentFace(), ButtonFace::Disabled);
  EXPECT_EQ(b->grab().toImage().pixel(3, 3), QColor(Qt::darkGray).rgb());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(b, &leave);
  EXPECT_FALSE(b->isHovering());
}

TEST_F(SkinTest, CaptionAndCallbackDrawing) {
  CPngButton b;
  b.resize(60, 24);
  b.SetFaceOrigin(1, 1);
  const QPixmap pic = Solid(QColor(10, 20, 30));
  b.SetStatePictures(pic, pic, pic, pic, pic);
  const std::array<QColor, 5> white = {Qt::white, Qt::white, Qt::white, Qt::white, Qt::white};
  b.SetTextAttributes(9, "DejaVu Sans", white);
  int calls = 0;
  bool usedNormal = false;
  b.SetDrawCallback([&](CPngButton* self, bool normal) {
    EXPECT_EQ(self, &b);
    ++calls;
    usedNormal = normal;
  });

  // An empty caption draws the picture only.
  QImage img = b.grab().toImage();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) ASSERT_EQ(img.pixel(x, y), QColor(10, 20, 30).rgb());
  EXPECT_GE(calls, 1);
  EXPECT_TRUE(usedNormal);

  b.setText("OK");
  img = b.grab().toImage();
  int bright = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) bright += qRed(img.pixel(x, y)) > 128;
  EXPECT_GT(bright, 5);
  b.SetSelected(true);
  b.grab();
  EXPECT_FALSE(usedNormal);

  // Points to pixels by the screen's vertical dots per inch; bold is the heaviest weight.
  EXPECT_EQ(b.captionFont().pixelSize(), 9 * b.logicalDpiY() / 72);
  b.SetRotation(900, true);
  EXPECT_EQ(b.captionFont().weight(), QFont::Black);
}

TEST_F(SkinTest, RotatedBoldCaptionStaysCentred) {
  const QRect client(0, 0, 40, 100);
  // Turned by 90 degrees the text runs upwards from its start point: the start lies below
  // the centre by half the text width and left of it by half the text height.
  const QRect r = RecentredRotatedTextRect(client, 60, 14, 900);
  EXPECT_EQ(r.left(), client.center().x() - 7);
  EXPECT_EQ(r.top(), client.center().y() + 30);
  EXPECT_EQ(RecentredRotatedTextRect(client, 60, 14, 0).topLeft(), client.center() - QPoint(30, 7));
}

TEST_F(SkinTest, TextFormatFlags) {
  EXPECT_EQ(kDefaultTextFormat, 37u);
  const int f = TextFormatToQtFlags(kDefaultTextFormat);
  EXPECT_TRUE(f & Qt::AlignHCenter);
  EXPECT_TRUE(f & Qt::AlignVCenter);
  EXPECT_TRUE(f & Qt::TextSingleLine);
  const int wrap = TextFormatToQtFlags(kTextRight | kTextWordBreak);
  EXPECT_TRUE(wrap & Qt::AlignRight);
  EXPECT_TRUE(wrap & Qt::TextWordWrap);
  EXPECT_TRUE(wrap & Qt::AlignTop);
}

TEST_F(SkinTest, DialogTakesSizeAndShapeFromItsSkin) {
  QImage bg(300, 200, QImage::Format_RGB32);
  bg.fill(Qt::darkBlue);
  ASSERT_TRUE(bg.save(dir_.filePath("bg.bmp")));
  QImage mask(300, 200, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter(&mask).fillRect(QRect(20, 30, 100, 50), QColor(0xFE, 0xFF, 0xFF));
  ASSERT_TRUE(mask.save(dir_.filePath("mask.bmp")));
  const QString ini = WriteIni("[SCREEN]\nMain=bg.bmp\nMask=mask.bmp\n");

  CBaseDialog dialog(102, nullptr, ini, dir_.path());
  dialog.move(40, 50);
  dialog.InitDialog();
  EXPECT_TRUE(dialog.hasSkin());
  EXPECT_EQ(dialog.size(), QSize(300, 200));
  EXPECT_EQ(dialog.pos(), QPoint(40, 50));
  EXPECT_TRUE(SameArea(dialog.mask(), QRegion(20, 30, 100, 50)));

  // Without a mask key the background is the mask: a picture with no white keeps the whole window.
  const QString ini2 = WriteIni("[SCREEN]\nMain=bg.bmp\n");
  QWidget plain;
  EXPECT_TRUE(ApplyDialogSkin(plain, ini2, dir_.path()).ok());
  EXPECT_TRUE(SameArea(plain.mask(), QRegion(0, 0, 300, 200)));

  // A missing skin changes nothing and stops nothing.
  QWidget untouched;
  untouched.resize(123, 45);
  EXPECT_FALSE(ApplyDialogSkin(untouched, dir_.filePath("none.ini"), dir_.path()).ok());
  EXPECT_EQ(untouched.size(), QSize(123, 45));
}

TEST_F(SkinTest, MaskRegionIsBuiltAcrossBatches) {
  // 2100 rows of two runs each: more than two batches of 2000 rectangles.
  QImage mask(8, 2100, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter p(&mask);
  p.fillRect(QRect(0, 0, 2, 2100), Qt::black);
  p.fillRect(QRect(5, 0, 3, 2100), Qt::black);
  p.end();
  const QRegion shape = MaskToRegion(mask);
  EXPECT_TRUE(SameArea(shape, QRegion(0, 0, 2, 2100).united(QRegion(5, 0, 3, 2100))));
  EXPECT_FALSE(shape.contains(QPoint(3, 1500)));
}

TEST_F(SkinTest, RequiredPictureMissingEndsTheProcessWithZero) {
  std::vector<int> codes;
  SetProcessEndAction([&](int code) { codes.push_back(code); });
  ClearSkinPictureCache();
  EXPECT_TRUE(RequiredSkinPicture(dir_.path(), "absent.jpg").isNull());
  EXPECT_EQ(codes, std::vector<int>{0});
  ASSERT_TRUE(Solid(Qt::red, 4, 4).save(dir_.filePath("there.bmp")));
  EXPECT_FALSE(RequiredSkinPicture(dir_.path(), "there.bmp").isNull());
  // Loaded once per process: still served after the file is gone.
  QFile::remove(dir_.filePath("there.bmp"));
  EXPECT_FALSE(RequiredSkinPicture(dir_.path(), "there.bmp").isNull());
  EXPECT_EQ(codes.size(), 1u);
  SetProcessEndAction({});
  ClearSkinPictureCache();
}

// An empty or junk skin file left a window of a few pixels with no word of why; a FIFO
// in the place of a skin file or picture blocked the start for good.
TEST_F(SkinTest, SkinsThatCannotBeUsedSayWhichFileAndWhy) {
  ASSERT_TRUE(Solid(Qt::red, 8, 8).save(dir_.filePath("bg.bmp")));
  QFile junk(dir_.filePath("junk.jpg"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("\xFF\xD8 not really a picture");
  junk.close();
  ASSERT_EQ(mkfifo(dir_.filePath("pipe.bmp").toLocal8Bit().constData(), 0600), 0);
  ASSERT_EQ(mkfifo(dir_.filePath("pipe.ini").toLocal8Bit().constData(), 0600), 0);
  const QString skin = dir_.filePath("skin.ini");
  const std::vector<std::pair<QString, QString>> cases = {
      {"", skin + ": names no background picture (key Main in section SCREEN)"},
      {"\x01\x02 garbage\n[[[", skin + ": names no background picture (key Main in section SCREEN)"},
      {"[SCREEN]\nMain=gone.bmp\n", dir_.filePath("gone.bmp") + ": does not exist"},
      {"[SCREEN]\nMain=junk.jpg\n", dir_.filePath("junk.jpg") + ": cannot be read as a picture"},
      {"[SCREEN]\nMain=pipe.bmp\n", dir_.filePath("pipe.bmp") + ": is not a regular file"},
      {"[SCREEN]\nMain=bg.bmp\nMask=pipe.bmp\n", ""},
  };
  for (const auto& [text, problem] : cases) {
    SCOPED_TRACE(text.toStdString());
    const QString ini = WriteIni(text);
    CBaseDialog dialog(102, nullptr, ini, dir_.path());
    dialog.InitDialog();
    EXPECT_EQ(dialog.hasSkin(), problem.isEmpty());
    EXPECT_EQ(dialog.skinProblem().isEmpty(), problem.isEmpty());
    if (!problem.isEmpty()) {
      EXPECT_TRUE(dialog.skinProblem().startsWith(problem)) << dialog.skinProblem().toStdString();
    }
  }
  QWidget w;
  EXPECT_EQ(ApplyDialogSkin(w, dir_.filePath("pipe.ini"), dir_.path()).problem,
            dir_.filePath("pipe.ini") + ": is not a regular file");

  std::vector<QString> reasons;
  SetProcessEndAction([&](int) { reasons.push_back(ProcessEndReason()); });
  ClearSkinPictureCache();
  EXPECT_TRUE(RequiredSkinPicture(dir_.path(), "junk.jpg").isNull());
  EXPECT_TRUE(RequiredSkinPicture(dir_.path(), "pipe.bmp").isNull());
  ASSERT_EQ(reasons.size(), 2u);
  EXPECT_TRUE(reasons[0].startsWith(dir_.filePath("junk.jpg") + ": cannot be read as a picture")) << reasons[0].toStdString();
  EXPECT_EQ(reasons[1], dir_.filePath("pipe.bmp") + ": is not a regular file");
  EXPECT_EQ(SkinPictureProblem(dir_.filePath("bg.bmp")), QString());
  SetProcessEndAction({});
  ClearSkinPictureCache();
}

TEST_F(SkinTest, DialogSurfaceDragMovesTheWindow) {
  CBaseDialog dialog(134, nullptr, dir_.filePath("none.ini"), dir_.path());
  dialog.setGeometry(100, 100, 200, 150);
  auto* child = new QWidget(&dialog);
  child->setGeometry(150, 100, 40, 40);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const QPoint start = dialog.pos();
  QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), dialog.mapToGlobal(QPointF(40, 30)), Qt::NoButton,
                   Qt::LeftButton, {});
  QCoreApplication::sendEvent(&dialog, &move);
  QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(40, 30));
  EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));

  // A press on a child control does not move the window.
  const QPoint before = dialog.pos();
  QTest::mousePress(child, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(child, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(dialog.pos(), before);
}

class SliderTest : public SkinTest {
 protected:
  void SetUp() override {
    SkinTest::SetUp();
    slider_.resize(120, 20);
    slider_.SetRange(0, 4);
    slider_.SetPageSize(2);
  }
  std::vector<int> Reports(QSignalSpy& spy) {
    std::vector<int> out;
    for (const auto& args : spy) {
      EXPECT_EQ(args.at(0).toUInt(), kMsgSliderMoved);
      EXPECT_EQ(args.at(1).toInt(), 1178);
      out.push_back(args.at(2).toInt());
    }
    return out;
  }
  void Key(int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider_, &e);
  }
  CBitmapSlider slider_{nullptr, 1178};
};

TEST_F(SliderTest, SetPositionClampsWithoutReporting) {
  QSignalSpy spy(&slider_, &CBitmapSlider::reported);
  slider_.SetPos(9);
  EXPECT_EQ(slider_.pos(), 4);
  slider_.SetPos(-3);
  EXPECT_EQ(slider_.pos(), 0);
  EXPECT_EQ(spy.count(), 0);
  slider_.SetPos(3);
  slider_.SetRange(0, 2);
  EXPECT_EQ(slider_.pos(), 2);
}

TEST_F(SliderTest, KeysMoveClampAndReport) {
  QSignalSpy spy(&slider_, &CBitmapSlider::reported);
  slider_.SetPos(3);
  Key(Qt::Key_PageDown);  // 3 + 2 -> 4
  Key(Qt::Key_Right);     // stays at the end, still reported
  Key(Qt::Key_Home);
  Key(Qt::Key_Up);        // stays 0
  Key(Qt::Key_Down);
  Key(Qt::Key_End);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_Left);
  EXPECT_EQ(Reports(spy), (std::vector<int>{4, 4, 0, 0, 1, 4, 2, 1}));
}

TEST_F(SliderTest, MouseAndWheelFollowThePointerWithinRange) {
  slider_.SetMargin(10);
  QSignalSpy spy(&slider_, &CBitmapSlider::reported);
  QTest::mousePress(&slider_, Qt::LeftButton, {}, QPoint(60, 10));  // middle of 10..110
  QMouseEvent drag(QEvent::MouseMove, QPointF(500, 10), slider_.mapToGlobal(QPointF(500, 10)), Qt::NoButton,
                   Qt::LeftButton, {});
  QCoreApplication::sendEvent(&slider_, &drag);  // far beyond the right end
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, QPoint(500, 10));
  EXPECT_EQ(Reports(spy), (std::vector<int>{2, 4, 4}));
  spy.clear();
  QWheelEvent wheel(QPointF(5, 5), slider_.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -240), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&slider_, &wheel);
  EXPECT_EQ(Reports(spy), (std::vector<int>{2}));
  spy.clear();
  slider_.Enable(false);
  Key(Qt::Key_Home);
  EXPECT_EQ(spy.count(), 0);
  EXPECT_EQ(slider_.pos(), 2);
}

class ReportTest : public SkinTest {
 protected:
  void Fill(int rows) {
    list_.InsertColumn(0, "Name");
    list_.InsertColumn(1, "Value");
    for (int i = 0; i < rows; ++i) {
      list_.InsertItem(i, QString("row %1").arg(i));
      list_.SetItemText(i, 1, QString::number(i));
    }
  }
  CReportCtrl list_;
};

TEST_F(ReportTest, SingleChoiceClearsTheOtherCheck) {
  Fill(3);
  list_.SetCheckboxStyle(kCheckSingle);
  std::vector<std::pair<int, bool>> changes;
  list_.SetCheckHandler([&](int row, bool checked) { changes.emplace_back(row, checked); });
  list_.SetItemState(0, kRowChecked, kRowChecked);
  // A user click on the second row's check box.
  list_.topLevelItem(2)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(list_.GetItemState(0, kRowChecked), 0u);
  EXPECT_EQ(list_.GetItemState(2, kRowChecked), kRowChecked);
  EXPECT_EQ(list_.GetNextItem(-1, kRowChecked), 2);
  EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {2, true}}));

  // Normal check boxes keep both.
  list_.SetCheckboxStyle(kCheckNormal);
  list_.SetItemState(1, kRowChecked, kRowChecked);
  EXPECT_EQ(list_.GetItemState(1, kRowChecked) | list_.GetItemState(2, kRowChecked), kRowChecked);
  EXPECT_EQ(list_.GetNextItem(1, kRowChecked), 2);
  // Without check boxes no row reads as checked.
  list_.SetCheckboxStyle(kCheckNone);
  EXPECT_EQ(list_.GetNextItem(-1, kRowChecked), -1);
}

TEST_F(ReportTest, DeletingSelectsTheNeighbour) {
  Fill(4);
  list_.SetItemState(1, kRowSelected, kRowSelected);
  ASSERT_TRUE(list_.DeleteItem(1, true));
  EXPECT_EQ(list_.GetItemText(list_.GetNextItem(-1, kRowSelected), 0), "row 2");
  list_.SetItemState(2, kRowSelected, kRowSelected);  // the last row ("row 3")
  ASSERT_TRUE(list_.DeleteItem(2, true));
  EXPECT_EQ(list_.GetItemText(list_.GetNextItem(-1, kRowSelected), 0), "row 2");
  EXPECT_FALSE(list_.DeleteItem(7, true));
  EXPECT_EQ(list_.GetItemCount(), 2);
  list_.SetCheckboxStyle(kCheckNormal);
  list_.SetItemState(0, kRowChecked, kRowChecked);
  EXPECT_EQ(list_.DeleteItemsByState(kRowChecked), 1);
  EXPECT_EQ(list_.GetItemText(0, 0), "row 2");
  list_.DeleteAllItems();
  EXPECT_EQ(list_.GetItemCount(), 0);
}

TEST_F(ReportTest, CellEditingAsksBeforeAndAfter) {
  Fill(2);
  std::vector<std::pair<int, int>> asked;
  list_.SetEditCallbacks(
      [&](int row, int column) {
        asked.emplace_back(row, column);
        return column == 1;
      },
      [](int, int, QString& text) {
        if (text.isEmpty()) return false;
        text = text.trimmed() + " ms";
        return true;
      });
  EXPECT_FALSE(list_.EditCell(0, 0));
  ASSERT_TRUE(list_.EditCell(1, 1));
  EXPECT_TRUE(list_.isEditing());
  list_.topLevelItem(1)->setText(1, " 25 ");  // what the editor commits
  EXPECT_FALSE(list_.isEditing());
  EXPECT_EQ(list_.GetItemText(1, 1), "25 ms");
  ASSERT_TRUE(list_.EditCell(0, 1));
  list_.topLevelItem(0)->setText(1, "");  // refused: the old text comes back
  EXPECT_EQ(list_.GetItemText(0, 1), "0");
  EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {0, 1}}));
  EXPECT_FALSE(list_.EditCell(5, 1));
}

TEST_F(SkinTest, ColourSwatchTakesThePickersChoice) {
  CSkinColorBtn swatch(nullptr, 1152);
  swatch.SetColor(Qt::red);
  QSignalSpy spy(&swatch, &CSkinColorBtn::colorChanged);
  swatch.SetPicker([](const QColor& current, QWidget*) -> std::optional<QColor> {
    EXPECT_EQ(current, QColor(Qt::red));
    return QColor(Qt::blue);
  });
  swatch.click();
  EXPECT_EQ(swatch.color(), QColor(Qt::blue));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 1152);
  swatch.SetPicker([](const QColor&, QWidget*) -> std::optional<QColor> { return std::nullopt; });
  swatch.click();
  EXPECT_EQ(swatch.color(), QColor(Qt::blue));
  EXPECT_EQ(spy.count(), 1);
  swatch.resize(48, 26);
  // The swatch shows the colour in its middle.
  EXPECT_EQ(swatch.grab().toImage().pixelColor(24, 13), QColor(Qt::blue));
}

}  // namespace
}  // namespace vantrel::ui

namespace vantrel::ui {
namespace {

TEST_F(SkinTest, ColourLabelKeepsColourAndFontHeight) {
  QWidget parent;
  parent.resize(100, 40);
  auto* label = new ColorStatic(&parent);
  EXPECT_EQ(label->textColor(), QColor(0xFF, 0xFF, 0xFF));
  label->setGeometry(0, 0, 100, 40);
  label->setText("MMMM");
  label->SetTextColor(QColor(0, 200, 0));
  label->SetFontHeight(30);
  EXPECT_EQ(label->font().pixelSize(), 30);
  const QImage img = label->grab().toImage();
  int green = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) green += qGreen(img.pixel(x, y)) > 150 && qRed(img.pixel(x, y)) < 60;
  EXPECT_GT(green, 20);
}

TEST_F(SkinTest, DialogReleasesItsPicturesOnCloseAndLoadsThemAgainWhenShown) {
  QImage bg(80, 60, QImage::Format_RGB32);
  bg.fill(Qt::darkGreen);
  ASSERT_TRUE(bg.save(dir_.filePath("bg.bmp")));
  CBaseDialog dialog(2000, nullptr, WriteIni("[SCREEN]\nMain=bg.bmp\n"), dir_.path());
  dialog.show();
  EXPECT_TRUE(dialog.hasSkin());
  EXPECT_EQ(dialog.grab().toImage().pixelColor(40, 30), QColor(Qt::darkGreen));
  dialog.accept();
  EXPECT_FALSE(dialog.hasSkin());
  dialog.show();
  EXPECT_TRUE(dialog.hasSkin());
  dialog.reject();
}

}  // namespace
}  // namespace vantrel::ui

namespace vantrel::ui {
namespace {

TEST_F(SkinTest, DialogBackgroundShowsWhereButtonsDoNotCoverIt) {
  // The dialog leaves its background out beneath buttons that paint all of their place;
  // beneath every other kind of button it must still be drawn.
  QImage bg(80, 60, QImage::Format_RGB32);
  bg.fill(Qt::darkGreen);
  ASSERT_TRUE(bg.save(dir_.filePath("bg.bmp")));
  CBaseDialog dialog(2001, nullptr, WriteIni("[SCREEN]\nMain=bg.bmp\n"), dir_.path());
  QImage halfClear(64, 64, QImage::Format_ARGB32);
  halfClear.fill(Qt::transparent);
  for (int y = 0; y < 64; ++y)
    for (int x = 32; x < 64; ++x) halfClear.setPixel(x, y, qRgb(0, 0, 255));
  const QPixmap seeThrough = QPixmap::fromImage(halfClear);
  const QPixmap opaque = Solid(Qt::red);
  const QPixmap small = Solid(Qt::yellow, 12, 12);
  auto add = [&dialog](const QRect& place, const QPoint& origin, const QPixmap& picture) {
    auto* b = new CPngButton(&dialog);
    b->setGeometry(place);
    b->SetFaceOrigin(origin.x(), origin.y());
    b->SetStatePictures(picture, picture, picture, picture, picture);
    return b;
  };
  CPngButton* covering = add(QRect(5, 5, 10, 10), QPoint(1, 1), opaque);
  add(QRect(28, 5, 10, 10), QPoint(28, 1), seeThrough);  // left half clear, right half blue
  add(QRect(50, 5, 10, 10), QPoint(5, 5), small);        // the picture ends inside the button
  CPngButton* framed = add(QRect(5, 30, 20, 20), QPoint(1, 1), opaque);
  framed->SetFrameMode(true, QColor(0, 0, 255));
  CPngButton* none = new CPngButton(&dialog);
  none->setGeometry(50, 30, 10, 10);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_TRUE(covering->PaintsOpaquely());
  EXPECT_FALSE(framed->PaintsOpaquely());

  // Drawn over a colour nothing in the dialog has: where the background were left out
  // wrongly, that colour would show.
  QPixmap drawn(dialog.size());
  drawn.fill(Qt::magenta);
  dialog.render(&drawn);
  const QColor green(Qt::darkGreen);
  const std::vector<std::pair<QPoint, QColor>> expected = {
      {QPoint(10, 10), QColor(Qt::red)},
      {QPoint(29, 10), green},  // clear part of the picture
      {QPoint(36, 10), QColor(0, 0, 255)},
      {QPoint(52, 7), QColor(Qt::yellow)},
      {QPoint(58, 13), green},  // past the picture's edge
      {QPoint(15, 40), green},  // inside the frame
      {QPoint(55, 35), green},  // a button without pictures
      {QPoint(70, 50), green}};
  const QImage shot = drawn.toImage();
  for (const auto& [at, colour] : expected) EXPECT_EQ(shot.pixelColor(at), colour) << at.x() << "," << at.y();

  // The same on the screen after the window's own repaint over that colour.
  QPaintDevice* device = dialog.backingStore()->paintDevice();
  ASSERT_TRUE(device != nullptr && device->devType() == QInternal::Image);
  static_cast<QImage*>(device)->fill(QColor(Qt::magenta));
  dialog.repaint();
  const QImage screen = *static_cast<QImage*>(device);
  for (const auto& [at, colour] : expected) EXPECT_EQ(screen.pixelColor(at), colour) << at.x() << "," << at.y();
  dialog.hide();
}

TEST_F(SkinTest, FrameModeDrawsATwoPixelFrameInsteadOfThePicture) {
  CPngButton b;
  b.resize(20, 16);
  b.SetFaceOrigin(1, 1);
  const QPixmap pic = Solid(Qt::red);
  b.SetStatePictures(pic, pic, pic, pic, pic);
  b.SetFrameMode(true, QColor(0, 0, 255));
  const QImage img = b.grab().toImage();
  EXPECT_EQ(img.pixelColor(0, 0), QColor(0, 0, 255));
  EXPECT_EQ(img.pixelColor(1, 8), QColor(0, 0, 255));
  EXPECT_EQ(img.pixelColor(19, 15), QColor(0, 0, 255));
  // Inside the frame nothing of the picture is drawn.
  EXPECT_NE(img.pixelColor(10, 8), QColor(Qt::red));
  EXPECT_NE(img.pixelColor(2, 8), QColor(0, 0, 255));
  b.SetFrameMode(false);
  EXPECT_EQ(b.grab().toImage().pixelColor(10, 8), QColor(Qt::red));
}

TEST_F(SkinTest, ToggleModeUsesTheTogglePicturesOverPressedAndHover) {
  CPngButton b;
  b.resize(8, 8);
  b.SetFaceOrigin(1, 1);
  const QPixmap pic = Solid(Qt::red);
  b.SetStatePictures(pic, pic, pic, pic, pic);
  b.SetTogglePictures(Solid(Qt::green), Solid(Qt::blue));
  b.SetToggleMode(true);
  b.setDown(true);
  EXPECT_EQ(b.grab().toImage().pixelColor(4, 4), QColor(Qt::green));
  b.SetToggled(true);
  EXPECT_EQ(b.grab().toImage().pixelColor(4, 4), QColor(Qt::blue));
  b.SetToggleMode(false);
  EXPECT_EQ(b.grab().toImage().pixelColor(4, 4), QColor(Qt::red));
}

}  // namespace
}  // namespace vantrel::ui
