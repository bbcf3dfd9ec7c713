// The key page over the virtual keyboard: core objects, the English language file, the
// generated skin, a fake main window and fakes for the questions. Key events carry the
// native scan codes this platform delivers.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <map>
#include <memory>

#include "core/keys/apply.h"
#include "core/keys/device_config.h"
#include "core/keys/key_codes.h"
#include "core/text/language.h"
#include "core/text/settings_store.h"
#include "platform/native_key_codes.h"
#include "sim/sim_harness.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/key_page.h"
#include "ui/windows/macro_editor.h"
#include "ui/ui_test_app.h"
#include "ui/windows/fake_ui_services.h"

namespace vantrel::ui::test {

// Control ids the fake main window gives two picture keys.
inline constexpr int kButtonA = 2001;
inline constexpr int kButtonB = 2002;

class FakeKeyPageHost final : public KeyPageHost {
 public:
  std::uint16_t KeyCodeOfButton(int id) const override {
    const auto it = codes.find(id);
    return it == codes.end() ? 0 : it->second;
  }
  QRect ButtonGlobalRect(int) const override { return rect; }
  int GKeyLayer() const override { return layer; }
  int CurrentProfile() const override { return profile; }
  void SetButtonPressed(int id, bool pressed) override { pressedLog.emplace_back(id, pressed); }
  void KeysEdited() override { ++edits; }

  std::map<int, std::uint16_t> codes{{kButtonA, 0x01E}, {kButtonB, 0x030}};
  QRect rect{100, 100, 40, 40};
  int layer = 0;
  int profile = 0;
  std::vector<std::pair<int, bool>> pressedLog;
  int edits = 0;
};

class KeyPageTest : public ::testing::Test {
 protected:
  KeyPageTest()
      : system_(0x409), texts_(VANTREL_BIN_DIR, settings_, system_) {
    settings_.WriteDword("dwLanguageId", 0x409);
    ClearSkinPictureCache();
    mainWindow_.resize(800, 500);
    page_ = std::make_unique<Vantrel_DlgComposite>(editing_, texts_, sink_, strings_, host_,
                                                   QString(VANTREL_BIN_DIR) + "/Skins", &mainWindow_);
    page_->macroEditor().SetClock([this] { return now_; });
  }
  ~KeyPageTest() override {
    page_->ClosePage();
    page_.reset();
  }

  std::string Text(const char* key) const { return texts_.Text(key); }

  // A key event as the platform delivers it, sent to the widget that has the focus.
  void Key(std::uint16_t code, bool release, bool repeat = false, int qtKey = 0, const QString& text = {}) {
    Native(platform::NativeScanCodeOfKeyCode(code), release, repeat, qtKey, text);
  }
  void Native(std::uint32_t scan, bool release, bool repeat = false, int qtKey = 0, const QString& text = {}) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : page_.get();
    QKeyEvent e(release ? QEvent::KeyRelease : QEvent::KeyPress, qtKey, Qt::NoModifier, scan, 0, 0, text, repeat);
    QApplication::sendEvent(target, &e);
  }
  void Tap(std::uint16_t code) {
    Key(code, false);
    Key(code, true);
  }
  void Click(int id) {
    CPngButton* b = page_->button(id);
    if (!b) b = page_->macroEditor().button(id);
    ASSERT_NE(b, nullptr) << id;
    QTest::mouseClick(b, Qt::LeftButton);
  }

  keys::KeyAssignment Record(std::size_t profile, std::size_t index) {
    keys::EditingStore::Lock lock(editing_);
    return lock->table.Record(profile, index);
  }

  // The main window's Apply: the current profile and the macros to the keyboard.
  bool ApplyToKeyboard(std::size_t profile = 0) {
    keys::ApplyRequest request;
    request.currentProfile = profile;
    request.factory = sim_.keyboard.FactoryTable();
    request.macroCapacity = sim_.keyboard.MacroCapacity();
    keys::EditingStore::Lock lock(editing_);
    return keys::ApplyToDevice(lock, applied_, request, sim_.commands, texts_, sink_);
  }
  // What the keyboard holds, read back as a backup does.
  keys::StoreImage ReadBack() {
    keys::DeviceConfiguration config;
    EXPECT_EQ(keys::ReadDeviceConfiguration(sim_.commands, config), device::kDeviceOk);
    keys::StoreImage image;
    keys::DecodeIntoImage(config, texts_, image);
    return image;
  }

  QApplication& app_ = App();  // before any widget
  vantrel::test::SimHarness sim_;
  keys::EditingStore editing_;
  keys::AppliedStore applied_;
  text::MemorySettingsStore settings_;
  text::FixedSystemLanguage system_;
  text::LanguageTexts texts_;
  FakeMessageSink sink_;
  text::MemoryProfileStrings strings_;
  FakeKeyPageHost host_;
  QWidget mainWindow_;
  std::unique_ptr<Vantrel_DlgComposite> page_;
  std::uint32_t now_ = 5000;
};

}  // namespace vantrel::ui::test
