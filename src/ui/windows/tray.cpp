#include "ui/windows/tray.h"

#include <QActionGroup>
#include <QCursor>
#include <QDir>
#include <QIcon>

#include <utility>

#include "core/text/language.h"
#include "platform/autostart.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/main_window.h"

namespace vantrel::ui {
namespace {

constexpr int kRetryMs = 5000;
constexpr int kRetries = 12;  // the first minute

// The languages a stored choice can select, by index, each in its own words: the same in
// every language, so that users find their own whatever language is shown.
const char* const kLanguageNames[4] = {"English", "简体中文", "繁體中文", "Français"};

// The virtual keyboard's events: the name passed to it, and the language key of its item.
struct SimEvent {
  const char* name;
  const char* textKey;
};
constexpr SimEvent kSimEvents[] = {{"unplug", "SIM_EVENT_UNPLUG"},
                                   {"plug", "SIM_EVENT_PLUG"},
                                   {"g-layer", "SIM_EVENT_G_LAYER"},
                                   {"indicator-on", "SIM_EVENT_INDICATOR_ON"},
                                   {"indicator-off", "SIM_EVENT_INDICATOR_OFF"},
                                   {"lighting-changed", "SIM_EVENT_LIGHTING_CHANGED"},
                                   {"reset", "SIM_EVENT_RESET"}};

QIcon IconFor(CVantrelDlg& window, int resource) {
  return OptionalIcon(QDir(window.Core().SkinFolder()).filePath(QString("tray_%1.png").arg(resource)));
}

}  // namespace

CTrayIcon::CTrayIcon(CVantrelDlg& window, std::function<bool()> availability, QObject* parent)
    : QObject(parent), window_(window), availability_(std::move(availability)), autostart_(window.Core().Autostart()) {
  if (!availability_) availability_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  Build();
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, [this] {
    if (Create()) emit becameAvailable();
    else if (++retries_ >= kRetries) retry_.stop();
  });
  connect(&window_, &CVantrelDlg::languageChanged, this, [this] { Retranslate(); });
  connect(&window_, &CVantrelDlg::profileMenuChanged, this, [this] { ShowProfiles(); });
}

CTrayIcon::~CTrayIcon() { Remove(); }

void CTrayIcon::Build() {
  open_ = menu_.addAction(QString());
  connect(open_, &QAction::triggered, &window_, [this] { window_.ShowWindowRoutine(); });
  about_ = menu_.addAction(QString());
  connect(about_, &QAction::triggered, &window_, [this] { window_.OpenAboutBox(); });
  menu_.addSeparator();
  menu_.addMenu(&profileSubmenu_);
  autoProfiles_ = menu_.addAction(QString());
  connect(autoProfiles_, &QAction::triggered, &window_, [this] { window_.OpenAutoProfiles(); });
  menu_.addMenu(&languageMenu_);
  auto* group = new QActionGroup(&languageMenu_);
  for (int i = 0; i < 4; ++i) {
    QAction* a = languageMenu_.addAction(QString::fromUtf8(kLanguageNames[i]));
    a->setCheckable(true);
    a->setData(i);
    group->addAction(a);
    connect(a, &QAction::triggered, &window_, [this, i] { window_.ChooseLanguage(i); });
  }
  if (window_.Core().Simulating()) {
    for (const SimEvent& event : kSimEvents) {
      QAction* a = simMenu_.addAction(QString());
      a->setData(QString::fromLatin1(event.textKey));
      const char* name = event.name;
      connect(a, &QAction::triggered, &window_, [this, name] {
        window_.Controller().HandleInstanceMessage(MsgSimEvent, kSimEventParam, QByteArray(name));
      });
    }
    menu_.addMenu(&simMenu_);
  }
  menu_.addSeparator();
  autostartItem_ = menu_.addAction(QString());
  autostartItem_->setCheckable(true);
  connect(autostartItem_, &QAction::triggered, this, [this](bool on) {
    // A failed write shows what the desktop will really do.
    if (!autostart_.setEnabled(on)) autostartItem_->setChecked(autostart_.enabled());
  });
  // The entry may change outside the program: read it each time the menu opens.
  connect(&menu_, &QMenu::aboutToShow, this, [this] { autostartItem_->setChecked(autostart_.enabled()); });
  exit_ = menu_.addAction(QString());
  connect(exit_, &QAction::triggered, &window_, [this] { window_.RequestExit(); });
  Retranslate();
}

void CTrayIcon::Retranslate() {
  const auto& texts = window_.Core().Texts();
  open_->setText(QString::fromStdString(texts.Text("MENU_11")));
  about_->setText(QString::fromStdString(texts.Text("MENU_22")));
  exit_->setText(QString::fromStdString(texts.Text("MENU_33")));
  autostartItem_->setText(QString::fromStdString(texts.Text("MENU_AUTOSTART")));
  autostartItem_->setChecked(autostart_.enabled());
  languageMenu_.setTitle(QString::fromStdString(texts.Text("MENU_LANGUAGE")));
  simMenu_.setTitle(QString::fromStdString(texts.Text("MENU_VIRTUAL_KEYBOARD")));
  for (QAction* a : simMenu_.actions()) a->setText(QString::fromStdString(texts.Text(a->data().toString().toStdString())));
  const int index = window_.Core().Texts().CurrentLanguageIndex();
  for (QAction* a : languageMenu_.actions()) a->setChecked(a->data().toInt() == index);
  autoProfiles_->setText(QString::fromStdString(texts.Text("MENU_AUTO_PROFILES")));
  ShowProfiles();
}

void CTrayIcon::ShowProfiles() {
  // The submenu names the profile in use, as the main window's profile name does.
  profileSubmenu_.setTitle(QString::fromStdString(window_.Core().Texts().Text("PROFILE_TIP")) + window_.ProfileName());
  window_.BuildProfileMenu(profileMenu_);
  window_.BuildProfileMenu(profileSubmenu_);
  UpdateToolTip();
}

void CTrayIcon::UpdateToolTip() {
  if (!icon_) return;
  QString tip = QString::fromStdString(window_.Core().Texts().Text("KEYBOARD_TRAY_DESC"));
  const QString note = window_.AutoSwitchNote();
  if (!note.isEmpty()) tip += QLatin1Char('\n') + note;
  icon_->setToolTip(tip);
}

bool CTrayIcon::Create() {
  if (removed_) return false;
  if (icon_) return true;
  if (!availability_()) {
    if (!retry_.isActive() && retries_ < kRetries) retry_.start();
    return false;
  }
  retry_.stop();
  icon_ = new QSystemTrayIcon(IconFor(window_, shownIcon_), this);
  icon_->setContextMenu(&menu_);
  connect(icon_, &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
  Retranslate();
  icon_->show();
  return true;
}

void CTrayIcon::Remove() {
  removed_ = true;
  retry_.stop();
  if (icon_) {
    icon_->hide();
    delete icon_;
  }
}

void CTrayIcon::SetIcon(int resource) {
  if (resource == shownIcon_) return;
  shownIcon_ = resource;
  if (icon_) icon_->setIcon(IconFor(window_, resource));
}

bool CTrayIcon::ShowNotice(const QString& title, const QString& text, std::function<void()> clicked) {
  if (!Shown()) return false;
  noticeClicked_ = std::move(clicked);
  if (!noticeConnected_) {
    noticeConnected_ = true;
    connect(icon_, &QSystemTrayIcon::messageClicked, this, [this] {
      if (auto clicked = std::exchange(noticeClicked_, nullptr)) clicked();
    });
  }
  icon_->showMessage(title, text, QSystemTrayIcon::Warning, 0);
  return true;
}

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  // A double click opens the profile menu, not the window.
  if (reason == QSystemTrayIcon::DoubleClick) PopUpProfileMenu();
}

void CTrayIcon::PopUpProfileMenu() {
  window_.BuildProfileMenu(profileMenu_);
  window_.activateWindow();
  profileMenu_.popup(QCursor::pos());
}

}  // namespace vantrel::ui
