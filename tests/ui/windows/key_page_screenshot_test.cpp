// Pictures of the key page's tabs for review: build/screenshots/key_page/*.png.
#include <QDir>
#include <QListWidget>

#include "key_page_harness.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/key_chooser.h"

namespace vantrel::ui::test {
namespace {

class KeyPageScreenshots : public KeyPageTest {
 protected:
  void Save(QWidget& w, const QString& name) {
    const QString dir = QString(VANTREL_BIN_DIR) + "/../screenshots/key_page";
    ASSERT_TRUE(QDir().mkpath(dir));
    QApplication::processEvents();
    const QPixmap shot = w.grab();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/" + name + ".png"));
  }
};

TEST_F(KeyPageScreenshots, EveryTab) {
  {
    keys::EditingStore::Lock lock(editing_);
    lock->macros.push_back(keys::NewMacro(u"Reload and aim", 1));
    lock->macros.push_back(keys::NewMacro(u"Copy line", 2));
    lock->macros[0].SetActions(std::vector<keys::MacroAction>{
        {50, 0x01D, keys::kPress}, {50, 0x013, keys::kPress}, {120, 0x013, keys::kRelease},
        {40, 0x01D, keys::kRelease}, {0, keys::kCodeMouseRight, keys::kPress}});
  }
  ASSERT_TRUE(page_->Begin(kButtonA));
  Tap(0x030);
  Save(*page_, "single_key");
  Click(kIdMou);
  Save(*page_, "single_key_mouse");
  Click(kIdTabMacro);
  page_->macroEditor().actionList()->SetItemState(2, kRowSelected, kRowSelected);
  Save(*page_, "macro");
  Click(kIdTabMedia);
  page_->mediaList()->setCurrentRow(5);
  Save(*page_, "multimedia");
  Click(kIdTabFunction);
  Save(*page_, "function");
  Click(kIdTabSingle);
  Click(kIdOsk);
  Save(*page_->keyChooser(), "key_chooser");
  page_->keyChooser()->hide();
  Click(kIdCancel);
  ASSERT_TRUE(page_->Begin(keys::kGKeyMacroButton));
  Save(*page_, "macro_only");
}

}  // namespace
}  // namespace vantrel::ui::test
