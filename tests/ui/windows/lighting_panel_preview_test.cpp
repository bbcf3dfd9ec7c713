// The live preview on the key picture (timer 1052) and screenshots of the open panel.
#include <QDir>
#include <QWindow>

#include "core/lighting/preview.h"
#include "ui/windows/lighting_panel_fixture.h"

namespace vantrel::ui::test {
namespace {

namespace id = panel_id;

class FixedRandom final : public lighting::PreviewRandom {
 public:
  void Reseed() override { state_ = 1; }
  unsigned Next() override {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 16) & 0x7FFF;
  }

 private:
  unsigned state_ = 1;
};

class LightingPreviewTest : public LightingPanelTest {
 protected:
  void SetUp() override {
    LightingPanelTest::SetUp();
    panel_->SetPreviewRandom(&random_);
  }
  FixedRandom random_;
};

TEST_F(LightingPreviewTest, RepaintsOnlyTheKeysWhoseColourChanged) {
  Connect();
  panel_->PreviewTick();  // closed: nothing is painted
  EXPECT_EQ(host_.colourCalls, 0);
  OpenPanel();

  ChooseEffect(4);  // the whole keyboard moves through the wheel: every key changes
  panel_->PreviewTick();
  EXPECT_EQ(host_.colourCalls, 109);  // the grid's 108 keys and right Win beside right Alt
  panel_->PreviewTick();
  EXPECT_EQ(host_.colourCalls, 218);
  const auto wheel = lighting::ColourWheel();
  const auto c = host_.colours[1058];
  bool onWheel = false;
  for (auto w : wheel) onWheel |= QColor(lighting::RedOf(w), lighting::GreenOf(w), lighting::BlueOf(w)) == c;
  EXPECT_TRUE(onWheel);

  // A single colour that does not move: painted once, then left alone.
  pick_ = QColor(200, 10, 10);
  ChooseEffect(6);
  Click(id::kFyColourButton);
  const int before = host_.colourCalls;
  panel_->PreviewTick();
  EXPECT_EQ(host_.colourCalls, before + 109);
  panel_->PreviewTick();
  panel_->PreviewTick();
  EXPECT_EQ(host_.colourCalls, before + 109);
  EXPECT_EQ(host_.colours[1022], QColor(200, 10, 10));
}

TEST_F(LightingPreviewTest, EffectsWithoutAnimationShowTheCaptions) {
  Connect();
  OpenPanel();
  ChooseEffect(1);
  panel_->PreviewTick();
  ASSERT_FALSE(host_.colours.empty());
  const int captions = host_.captionCalls;
  ChooseEffect(7);
  panel_->PreviewTick();
  EXPECT_EQ(host_.captionCalls, captions + 1);
  EXPECT_TRUE(host_.colours.empty());
  panel_->PreviewTick();  // already showing captions: not asked again
  EXPECT_EQ(host_.captionCalls, captions + 1);
}

TEST_F(LightingPreviewTest, Effect20ShowsEachKeysTableColour) {
  Connect();
  OpenPanel();
  ChooseEffect(20);
  ASSERT_EQ(host_.colours.size(), keys::kLayoutKeyCount);
  for (const auto& b : colours_.ButtonColours(0)) {
    EXPECT_EQ(host_.colours[b.controlId], QColor(lighting::RedOf(b.colour), lighting::GreenOf(b.colour),
                                                 lighting::BlueOf(b.colour)))
        << b.controlId;
  }
  // The preview leaves them alone.
  const int calls = host_.colourCalls;
  panel_->PreviewTick();
  EXPECT_EQ(host_.colourCalls, calls);
  // Another effect: keys outside the preview (the G keys) drop their table colour; right
  // Win takes right Alt's (it used to stay dark).
  ChooseEffect(4);
  panel_->PreviewTick();
  EXPECT_EQ(host_.colours.count(1000), 0u);
  EXPECT_EQ(host_.colours.at(1087), host_.colours.at(1086));
  EXPECT_EQ(host_.colours.size(), 109u);
}

TEST_F(LightingPreviewTest, TimerRunsOnlyWhileTheWindowCanBeSeen) {
  EXPECT_FALSE(panel_->PreviewRunning());  // never shown yet
  surface_.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(panel_->PreviewRunning());
  EXPECT_EQ(panel_->PreviewInterval(), 100);
  QTest::qWait(160);
  EXPECT_TRUE(panel_->PreviewRunning());
  EXPECT_EQ(panel_->PreviewInterval(), 50);

  surface_.hide();
  QCoreApplication::processEvents();
  EXPECT_FALSE(panel_->PreviewRunning());
  surface_.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel_->PreviewRunning());

  surface_.setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_FALSE(panel_->PreviewRunning());
  surface_.setWindowState(Qt::WindowNoState);
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel_->PreviewRunning());
  surface_.hide();
}

// Screenshots of the open panel on the stand-in main window, for review.
TEST_F(LightingPreviewTest, Screenshots) {
  const auto skin = ApplyDialogSkin(surface_, MainIni(), SkinFolder());
  ASSERT_TRUE(skin.ok());
  auto* background = new QLabel(&surface_);
  background->setPixmap(skin.background);
  background->setGeometry(0, 0, skin.background.width(), skin.background.height());
  background->lower();
  host_.BuildKeyButtons();
  auto& rec = sim_.keyboard.Lighting();
  rec[1] = 3, rec[2] = 2, rec[4] = 1, rec[5] = 0x2E, rec[6] = 0xC5, rec[7] = 0xFF;
  Connect();
  OpenPanel();
  const QDir out(QStringLiteral(VANTREL_BIN_DIR "/../screenshots/lighting_panel"));
  ASSERT_TRUE(out.mkpath("."));
  for (int code : {1, 12, 17, 18, 20}) {
    ChooseEffect(code);
    panel_->PreviewTick();
    EXPECT_TRUE(surface_.grab().save(out.filePath(QString("effect_%1.png").arg(code))));
  }
  ChooseEffect(4);
  for (int i = 0; i < 12; ++i) panel_->PreviewTick();
  EXPECT_TRUE(surface_.grab().save(out.filePath("preview_effect_4.png")));
  panel_->ToggleLamp();
  Settle();
  EXPECT_TRUE(surface_.grab().save(out.filePath("closed.png")));
  // The note under the panel after a report-rate write the keyboard refused.
  sim::FaultPlan faults;
  const auto next = sim_.service.ConfigRequests();
  for (std::uint64_t n = next + 1; n <= next + 40; ++n) faults.Add(n, sim::Fault::kStatusFF);
  sim_.service.SetFaults(faults);
  static_cast<QAbstractButton*>(panel_->Control(panel_id::kReportRate4))->click();
  Settle();
  sim_.service.SetFaults({});
  EXPECT_TRUE(surface_.grab().save(out.filePath("write_refused.png")));
}

}  // namespace
}  // namespace vantrel::ui::test
