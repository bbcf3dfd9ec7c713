// The flat colour faces the lighting preview gives the main window's key buttons: what they
// look like, that they hide and show the caption face, and what they cost to repaint.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <filesystem>
#include <string>

#include <unistd.h>
#include <map>
#include <memory>
#include <vector>

#include "core/keys/keyboard_layout.h"
#include "ui/ui_test_app.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"

namespace vantrel::ui {
namespace {

class QuietSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
  bool AskYesNo(std::string_view, bool) override { return false; }
  text::Answer AskYesNoCancel(std::string_view, text::Answer) override { return text::Answer::No; }
};

class NoFiles final : public FileChooser {
 public:
  std::optional<QString> ChooseOpen(QWidget*, const FileChoice&) override { return std::nullopt; }
  std::optional<QString> ChooseSave(QWidget*, const FileChoice&) override { return std::nullopt; }
};

// Counts the paint events of the watched widgets and keeps the last one's rectangle.
class PaintCounter final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints[watched];
      lastRect[watched] = static_cast<QPaintEvent*>(event)->rect();
    }
    return false;
  }
  std::map<QObject*, int> paints;
  std::map<QObject*, QRect> lastRect;
};

// The main window over the virtual keyboard, started without a tray (so it is shown) and
// waited for until the keyboard is found and the keys are enabled.
class KeyFaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    const AppOptions options = test::SimulatedProgramOptions(folder_.Path());
    core_ = std::make_unique<AppCore>(options);
    std::string error;
    ASSERT_TRUE(core_->OpenDevice(&error)) << error;
    window_ = std::make_unique<CVantrelDlg>(*core_, sink_, files_);
    window_->InitDialog();
    window_->Start(nullptr);
    const int probe = keys::OrdinaryLayoutKeys()[0].controlId;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->InitDone() && window_->KeyButton(probe)->isEnabled(); }, 5000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    core_->Worker().WaitIdle();
    Flush();
  }
  void TearDown() override {
    if (window_ && !window_->Closing()) window_->CloseProgram();
    window_.reset();
    core_.reset();
  }

  CPngButton* Key(int controlId) {
    CPngButton* b = window_->KeyButton(controlId);
    EXPECT_NE(b, nullptr) << controlId;
    return b;
  }
  static QImage Look(CPngButton* b) { return b->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  // What the window shows at `rect` now: the pixels its repaints left in its backing store.
  QImage OnScreen(const QRect& rect) const {
    QPaintDevice* device = window_->backingStore() ? window_->backingStore()->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image) return {};
    return static_cast<QImage*>(device)->copy(rect).convertToFormat(QImage::Format_RGB32);
  }
  // The rounded face a widget background of `colour` would draw over `caption`.
  static QImage FaceOver(const QImage& caption, const QColor& colour) {
    QImage out = caption;
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(2, 2, caption.width() - 4, caption.height() - 4), 3, 3);
    return out;
  }
  static void Flush() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }

  test::ProgramFolder folder_{"key_face"};
  QuietSink sink_;
  NoFiles files_;
  std::unique_ptr<AppCore> core_;
  std::unique_ptr<CVantrelDlg> window_;
};

TEST_F(KeyFaceTest, ColourCoversTheInsetFaceAndCaptionsComeBack) {
  // An ordinary key, and a G key, whose layer caption the colour must hide as well.
  for (int id : {keys::OrdinaryLayoutKeys()[30].controlId, keys::GLayoutKeys()[0].controlId}) {
    SCOPED_TRACE(id);
    CPngButton* key = Key(id);
    ASSERT_NE(key, nullptr);
    if (id == keys::GLayoutKeys()[0].controlId) key->setText("M1");
    const QImage caption = Look(key);
    const int w = caption.width(), h = caption.height();

    window_->SetKeyColour(id, QColor(10, 200, 30));
    const QImage coloured = Look(key);
    const QRgb green = qRgb(10, 200, 30);
    EXPECT_EQ(coloured.pixel(w / 2, h / 2), green);
    // Pixel for pixel the rounded face a widget background of that colour and radius
    // would draw over the caption face: a 2 px rim of the picture, antialiased corners,
    // the caption hidden.
    QImage expected = caption;
    {
      QPainter painter(&expected);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(10, 200, 30));
      painter.drawRoundedRect(QRectF(2, 2, w - 4, h - 4), 3, 3);
    }
    EXPECT_EQ(coloured, expected);

    window_->SetKeyColour(id, QColor(0, 0, 255));
    EXPECT_EQ(Look(key).pixel(w / 2, h / 2), qRgb(0, 0, 255));

    window_->ShowKeyCaptions();
    EXPECT_EQ(Look(key), caption);
  }
}

TEST_F(KeyFaceTest, OnlyKeysWhoseColourChangedAreRepaintedAndClicksStillReachThem) {
  const int id = keys::OrdinaryLayoutKeys()[40].controlId;
  const int neighbour = keys::OrdinaryLayoutKeys()[41].controlId;
  CPngButton* key = Key(id);
  CPngButton* other = Key(neighbour);
  ASSERT_TRUE(key && other);
  PaintCounter counter;
  key->installEventFilter(&counter);
  other->installEventFilter(&counter);
  Flush();

  window_->SetKeyColour(id, QColor(200, 0, 0));
  Flush();
  EXPECT_EQ(counter.paints[key], 1);
  // Only the face was repainted, not the picture's rim or the neighbour.
  EXPECT_EQ(counter.lastRect[key], key->FlatFaceRect());
  EXPECT_EQ(counter.paints[other], 0);

  // The same colour again: no repaint scheduled.
  window_->SetKeyColour(id, QColor(200, 0, 0));
  Flush();
  EXPECT_EQ(counter.paints[key], 1);

  window_->SetKeyColour(id, QColor(200, 0, 1));
  Flush();
  EXPECT_EQ(counter.paints[key], 2);

  // Captions back: keys without a colour are left alone.
  window_->ShowKeyCaptions();
  Flush();
  EXPECT_EQ(counter.paints[key], 3);
  EXPECT_EQ(counter.paints[other], 0);

  // Nothing lies over a coloured key: a press at its centre reaches the button.
  window_->SetKeyColour(id, QColor(200, 0, 0));
  EXPECT_EQ(window_->childAt(key->geometry().center()), key);
  int presses = 0;
  QObject::connect(key, &QAbstractButton::pressed, [&presses] { ++presses; });
  QTest::mousePress(key, Qt::LeftButton, Qt::NoModifier, key->rect().center());
  EXPECT_EQ(presses, 1);
  QTest::mouseRelease(key, Qt::LeftButton, Qt::NoModifier, QPoint(-5, -5));  // outside: no click
}

TEST_F(KeyFaceTest, FacesRepaintedAloneShowWhatTheWholeKeyWouldShow) {
  // A row of neighbours, a key further down and a G key: a preview frame repaints only
  // their faces, over the window's background, and the screen must show the same pixels
  // as the whole key drawn afresh.
  const auto& ordinary = keys::OrdinaryLayoutKeys();
  const std::vector<int> ids = {ordinary[20].controlId, ordinary[21].controlId, ordinary[22].controlId,
                                ordinary[60].controlId, keys::GLayoutKeys()[1].controlId};
  std::map<int, QImage> captions;
  for (int id : ids) {
    ASSERT_NE(Key(id), nullptr);
    captions[id] = Look(Key(id));
    ASSERT_EQ(OnScreen(Key(id)->geometry()), captions[id]) << "the screen is not readable here";
  }
  // Opaque colours, other colours on the same keys, and colours seen through: each frame
  // changes every key, as the colour wheel effects do.
  const std::vector<std::vector<QColor>> frames = {
      {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(250, 250, 250), QColor(1, 2, 3)},
      {QColor(0, 0, 255), QColor(255, 0, 0), QColor(18, 180, 90), QColor(0, 0, 0), QColor(255, 255, 0)},
      {QColor(255, 0, 0, 128), QColor(0, 255, 0, 40), QColor(0, 0, 255), QColor(9, 9, 9, 200), QColor(7, 7, 7)}};
  for (std::size_t f = 0; f < frames.size(); ++f) {
    for (std::size_t k = 0; k < ids.size(); ++k) window_->SetKeyColour(ids[k], frames[f][k]);
    Flush();
    for (std::size_t k = 0; k < ids.size(); ++k) {
      SCOPED_TRACE(testing::Message() << "frame " << f << " key " << ids[k]);
      const QImage expected = FaceOver(captions[ids[k]], frames[f][k]);
      EXPECT_EQ(OnScreen(Key(ids[k])->geometry()), expected);
      EXPECT_EQ(Look(Key(ids[k])), expected);
    }
  }
  window_->ShowKeyCaptions();
  Flush();
  for (int id : ids) EXPECT_EQ(OnScreen(Key(id)->geometry()), captions[id]) << id;
}

TEST_F(KeyFaceTest, FaceRecolouredUnderThePointerKeepsTheHoverPictureAtItsCorners) {
  CPngButton* key = Key(keys::OrdinaryLayoutKeys()[33].controlId);
  ASSERT_NE(key, nullptr);
  const QImage normal = Look(key);
  const QPointF inside(key->width() / 2.0, key->height() / 2.0);
  QEnterEvent enter(inside, key->mapTo(window_.get(), inside), key->mapToGlobal(inside));
  QCoreApplication::sendEvent(key, &enter);
  ASSERT_TRUE(key->isHovering());
  Flush();
  const QImage hover = Look(key);
  ASSERT_NE(hover, normal) << "the hover picture looks like the normal one: nothing to tell apart";

  const int id = key->controlId();
  window_->SetKeyColour(id, QColor(30, 60, 240));
  Flush();
  EXPECT_EQ(OnScreen(key->geometry()), FaceOver(hover, QColor(30, 60, 240)));
  // Another colour while still hovered, then the pointer leaves: the corners follow.
  window_->SetKeyColour(id, QColor(240, 60, 30));
  Flush();
  EXPECT_EQ(OnScreen(key->geometry()), FaceOver(hover, QColor(240, 60, 30)));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(key, &leave);
  Flush();
  EXPECT_EQ(OnScreen(key->geometry()), FaceOver(normal, QColor(240, 60, 30)));
}

}  // namespace
}  // namespace vantrel::ui
