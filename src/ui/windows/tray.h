// The notification-area icon and its menus: Open, About, Exit, the profile menu (also as a
// submenu, for desktops that never pass a click on), the language choice and, while the
// virtual keyboard stands in, its events. Where no tray exists yet it keeps trying for the
// first minute, for a panel that starts after us.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

namespace vantrel::platform {
class Autostart;
}

namespace vantrel::ui {

class CVantrelDlg;

class CTrayIcon final : public QObject {
  Q_OBJECT

 public:
  // availability: whether a tray can be shown now (tests give their own).
  explicit CTrayIcon(CVantrelDlg& window, std::function<bool()> availability = {}, QObject* parent = nullptr);
  ~CTrayIcon() override;

  // Creates the icon when a tray exists; otherwise keeps trying for a minute. True when
  // the icon is up now.
  bool Create();
  void Remove();
  bool Shown() const { return icon_ && icon_->isVisible(); }
  // Icon resource 128, 141 or 142; setting the one shown does nothing.
  void SetIcon(int resource);
  int IconShown() const { return shownIcon_; }

  QMenu& ContextMenu() { return menu_; }
  QMenu& ProfileMenu() { return profileMenu_; }
  QSystemTrayIcon* Icon() const { return icon_; }
  // The texts of every item, from the language in force.
  void Retranslate();
  // The profile menus and the submenu's title, after a switch or a rename.
  void ShowProfiles();
  void PopUpProfileMenu();
  // The tooltip: the program's description, and whether automatic switching is paused.
  void UpdateToolTip();

  // A message from the icon (where the desktop has no notification service); a click on
  // it runs `clicked` once. False when no icon is shown.
  bool ShowNotice(const QString& title, const QString& text, std::function<void()> clicked);

  // "Start with the desktop": the XDG autostart entry, off by default.
  QAction* AutostartItem() const { return autostartItem_; }

 signals:
  void becameAvailable();

 private:
  void Build();
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  CVantrelDlg& window_;
  std::function<bool()> availability_;
  QPointer<QSystemTrayIcon> icon_;
  QMenu menu_;
  QMenu profileMenu_;
  QMenu profileSubmenu_;
  QMenu languageMenu_;
  QMenu simMenu_;
  QAction* open_ = nullptr;
  QAction* about_ = nullptr;
  QAction* autoProfiles_ = nullptr;
  QAction* exit_ = nullptr;
  QAction* autostartItem_ = nullptr;
  platform::Autostart& autostart_;  // the program's, from the window's AppCore
  QTimer retry_;
  int retries_ = 0;
  int shownIcon_ = 128;
  bool removed_ = false;
  std::function<void()> noticeClicked_;
  bool noticeConnected_ = false;
};

}  // namespace vantrel::ui
