// The factor a skinned window is drawn at on a screen smaller than its skin, and the
// rectangles and fonts at that factor.
#include <gtest/gtest.h>

#include <QFont>
#include <QRect>
#include <QSize>
#include <vector>

#include "ui/skin/skin_scale.h"

namespace vantrel::ui {
namespace {

TEST(SkinScale, FittingFactorKeepsTheProportionsAndNeverComesOutTooLarge) {
  struct Case {
    const char* what;
    QSize natural;
    QRect available;
    qreal factor;
  };
  const std::vector<Case> cases = {
      {"fits", {1340, 760}, {0, 0, 1920, 1050}, 1.0},
      {"fits exactly", {1340, 760}, {0, 0, 1340, 760}, 1.0},
      {"narrower screen", {1340, 760}, {0, 0, 1280, 1024}, 0.955},
      {"panel at the side", {1340, 760}, {64, 0, 1216, 1024}, 0.907},
      {"lower screen decides", {1340, 760}, {0, 27, 1366, 740}, 0.973},
      {"far too small", {1340, 760}, {0, 0, 320, 240}, kSmallestSkinScale},
      {"no screen known", {1340, 760}, {}, 1.0},
      {"no skin", {}, {0, 0, 1280, 1024}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const qreal factor = FittingScaleFactor(c.natural, c.available);
    EXPECT_DOUBLE_EQ(factor, c.factor);
    if (factor > kSmallestSkinScale && !c.available.isEmpty()) {
      const QSize scaled = ScaledSize(c.natural, factor);
      EXPECT_LE(scaled.width(), c.available.width());
      EXPECT_LE(scaled.height(), c.available.height());
    }
  }
}

TEST(SkinScale, ControlsThatTouchInTheSkinStillTouchWhenScaled) {
  // Three buttons side by side and a row beneath, as the report-rate buttons are placed.
  const std::vector<QRect> row = {{301, 700, 57, 23}, {358, 700, 57, 23}, {415, 700, 58, 23}};
  const QRect below(301, 723, 172, 30);
  for (const qreal scale : {0.5, 0.613, 0.75, 0.907, 0.955, 0.999, 1.0}) {
    SCOPED_TRACE(scale);
    for (std::size_t i = 0; i + 1 < row.size(); ++i) {
      EXPECT_EQ(ScaledRect(row[i], scale).right() + 1, ScaledRect(row[i + 1], scale).left());
    }
    EXPECT_EQ(ScaledRect(row[0], scale).bottom() + 1, ScaledRect(below, scale).top());
    EXPECT_EQ(ScaledRect(row[0], scale).left(), ScaledRect(below, scale).left());
    EXPECT_EQ(ScaledRect(row[2], scale).right(), ScaledRect(below, scale).right());
  }
  EXPECT_EQ(ScaledRect(row[1], 1.0), row[1]);
}

TEST(SkinScale, FontsKeepTheirUnitAtTheFactor) {
  QFont points(QStringLiteral("DejaVu Sans"));
  points.setPointSizeF(10.0);
  EXPECT_DOUBLE_EQ(ScaledFont(points, 0.8).pointSizeF(), 8.0);
  QFont pixels(QStringLiteral("DejaVu Sans"));
  pixels.setPixelSize(15);
  EXPECT_EQ(ScaledFont(pixels, 0.8).pixelSize(), 12);
  EXPECT_EQ(ScaledFont(pixels, 0.8).pointSizeF(), -1);
  pixels.setPixelSize(1);
  EXPECT_EQ(ScaledFont(pixels, 0.5).pixelSize(), 1);
}

}  // namespace
}  // namespace vantrel::ui
