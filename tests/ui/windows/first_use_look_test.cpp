// What a new user meets, in English and French, over the virtual keyboard: the folded
// lighting panel and its note, the note while the panel holds the key clicks, the colour
// modes' names, G9's page, the dim disabled buttons of the profile manager and the automatic
// profiles window, and the three-way question. Pictures for review go to
// build/screenshots/first_use/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

#include "core/keys/keyboard_layout.h"
#include "core/lighting/effects.h"
#include "language_file_texts.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/ui_test_app.h"
#include "ui/windows/auto_profiles.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/key_page.h"
#include "ui/windows/lighting_panel.h"
#include "ui/windows/main_window.h"
#include "ui/windows/profile_manager.h"
#include "ui/windows/program_options.h"
#include "ui/app/qt_translations.h"
#include "ui/app/ui_services.h"

namespace vantrel::ui {
namespace {

using test::ProcessUntil;

const QString kShots = QStringLiteral(VANTREL_BIN_DIR "/../screenshots/first_use");

void Save(QWidget& w, const QString& name) {
  ASSERT_TRUE(QDir().mkpath(kShots));
  QApplication::processEvents();
  EXPECT_TRUE(w.grab().save(kShots + "/" + name + ".png")) << name.toStdString();
}

class Program {
 public:
  Program(const std::string& name, std::uint32_t languageId) : folder_("first_use_" + name) {
    test::App();
    core = std::make_unique<AppCore>(test::SimulatedProgramOptions(folder_.Path(), languageId));
    std::string error;
    EXPECT_TRUE(core->OpenDevice(&error)) << error;
    window = std::make_unique<CVantrelDlg>(*core, sink, files);
    window->SetKeyPageModal(false);
    window->InitDialog();
    window->Start(nullptr);
    EXPECT_TRUE(ProcessUntil([this] { return window->InitDone(); }));
    Settle();
    window->show();
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
  LightingPanel& Panel() { return *window->Panel(); }
  QWidget* Control(int id) { return Panel().Control(id); }
  void ChooseEffect(lighting::EffectCode code) {
    auto* combo = static_cast<QComboBox*>(Control(panel_id::kEffectCombo));
    const int position = combo->findText(QString::fromStdString(lighting::EffectName(&core->Texts(), code)));
    ASSERT_GE(position, 0) << code;
    combo->setCurrentIndex(position);
    emit combo->activated(position);
    Settle();
  }

  std::unique_ptr<AppCore> core;
  test::FakeMessageSink sink;
  test::FakeFileChooser files;
  std::unique_ptr<CVantrelDlg> window;

 private:
  test::ProgramFolder folder_;
};

// The whole note is seen: its text fits its place.
void ExpectWhole(ColorStatic* note) {
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_LE(note->heightForWidth(note->width()), note->height()) << note->text().toStdString();
}

struct Language {
  const char* tag;
  std::uint32_t id;
  int index;  // of the language files, for Qt's own texts
};
const Language kEnglishAndFrench[] = {{"en", 1033, 0}, {"fr", 1036, 3}};

// The folded panel used to be an empty frame with a power icon: it names itself and says
// what its button opens. Open with an effect other than 20, a key click and the Macros
// button do nothing: the note says why and how to assign keys again.
TEST(FirstUse, TheLightingPanelSaysWhereTheLightingIsAndWhyKeyClicksWait) {
  for (const Language& language : kEnglishAndFrench) {
    SCOPED_TRACE(language.tag);
    Program p(std::string("panel_") + language.tag, language.id);
    const QString tag = QString::fromLatin1(language.tag);
    auto* note = qobject_cast<ColorStatic*>(p.Control(panel_id::kNote));
    ASSERT_FALSE(p.Panel().IsOpen());
    auto* title = qobject_cast<QLabel*>(p.Control(panel_id::kTitle));
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->isVisible());
    EXPECT_EQ(title->text(), QString::fromStdString(p.core->Texts().LightText("Deng")));
    ExpectWhole(note);
    EXPECT_EQ(note->text(), p.Text("LIGHT_NOTE_FOLDED"));
    Save(*p.window, "main_folded_" + tag);

    p.Panel().ToggleLamp();
    p.Settle();
    ASSERT_TRUE(p.Panel().IsOpen());
    p.ChooseEffect(1);
    ExpectWhole(note);
    const QString effect20 = QString::fromStdString(lighting::EffectName(&p.core->Texts(), lighting::kEffectUserColours));
    EXPECT_TRUE(note->text().contains(effect20)) << note->text().toStdString();
    // Nothing of the panel's own controls lies under the note.
    for (const auto& [id, widget] : std::map<int, QWidget*>{
             {panel_id::kBrightnessSlider, p.Control(panel_id::kBrightnessSlider)},
             {panel_id::kSpeedSlider, p.Control(panel_id::kSpeedSlider)},
             {panel_id::kChoiceRed + 3, p.Control(panel_id::kChoiceRed + 3)},
             {panel_id::kDirectionBack, p.Control(panel_id::kDirectionBack)}})
      if (widget->isVisible()) {
        EXPECT_FALSE(widget->geometry().intersects(note->geometry())) << id;
      }
    Save(*p.window, "main_panel_wave_" + tag);

    // With effect 20 a click paints: no note, and the modes carry the language's names.
    p.ChooseEffect(lighting::kEffectUserColours);
    EXPECT_FALSE(note->isVisible());
    auto* modes = static_cast<QComboBox*>(p.Control(panel_id::kUserModeCombo));
    ASSERT_GE(modes->count(), 1);
    EXPECT_EQ(modes->itemText(0), p.Text("USER_MODE_NAME_0"));
    Save(*p.window, "main_panel_user_colours_" + tag);
  }
}

// The note in every shipped language: folded and open, it fits its place whole.
TEST(FirstUse, ThePanelNoteFitsInEveryLanguage) {
  for (const std::uint32_t id : {1033u, 2052u, 1028u, 1036u, 3076u}) {
    SCOPED_TRACE(id);
    Program p("note_" + std::to_string(id), id);
    auto* note = qobject_cast<ColorStatic*>(p.Control(panel_id::kNote));
    ExpectWhole(note);
    p.Panel().ToggleLamp();
    p.Settle();
    p.ChooseEffect(4);
    ExpectWhole(note);
  }
}

TEST(FirstUse, G9sPageAndTheDisabledButtonsLookRight) {
  for (const Language& language : kEnglishAndFrench) {
    SCOPED_TRACE(language.tag);
    Program p(std::string("windows_") + language.tag, language.id);
    const QString tag = QString::fromLatin1(language.tag);
    p.window->Button(ids::kMacro)->click();
    p.Settle();
    Vantrel_DlgComposite* page = p.window->KeyPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->macroOnly());
    EXPECT_EQ(page->button(kIdTabSingle)->text(), p.Text("SINGLE_KEY"));
    Save(*page, "key_page_g9_" + tag);
    page->ClosePage();
    p.Settle();

    p.window->OpenProfileManager();
    p.Settle();
    CVantrel_DlgProfile* manager = p.window->ProfileManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(manager->button(kIdProfileApply)->isEnabled());
    Save(*manager, "profile_manager_" + tag);
    manager->CloseProfileManager();
    p.Settle();

    p.window->OpenAutoProfiles();
    p.Settle();
    AutoProfilesWindow* automatic = p.window->AutoProfiles();
    ASSERT_NE(automatic, nullptr);
    EXPECT_FALSE(automatic->button(kIdAutoRemove)->isEnabled());
    Save(*automatic, "auto_profiles_" + tag);
    automatic->close();
    p.Settle();
  }
}

// Escape (and closing the box) on a three-way question used to be No on the two-way one
// that dropped the edits; the box now has Cancel, named by the language file, and Escape
// is Cancel.
TEST(FirstUse, EscapeOnTheThreeWayQuestionIsCancel) {
  test::App();
  for (const Language& language : kEnglishAndFrench) {
    SCOPED_TRACE(language.tag);
    (void)UseQtTranslations(language.index);
    const vantrel::test::LanguageFileTexts texts(language.id == 1036 ? "040C" : "0409");
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    QtMessageSink sink(&parent, &texts);
    for (const bool closeIt : {false, true}) {
      bool seen = false;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll.stop();
        seen = true;
        EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QString::fromStdString(texts.Text("PROFILE_CANCLE")));
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        if (!closeIt) Save(*box, QStringLiteral("switch_question_") + QString::fromLatin1(language.tag));
        if (closeIt) box->close();
        else QTest::keyClick(box, Qt::Key_Escape);
      });
      poll.start(10);
      EXPECT_EQ(sink.AskYesNoCancel(texts.Text("PROFILE_SELECT_PROMPT"), text::Answer::No), text::Answer::Cancel)
          << (closeIt ? "closed" : "Escape");
      EXPECT_TRUE(seen);
    }
  }
  (void)UseQtTranslations(0);
}

}  // namespace
}  // namespace vantrel::ui
