// What the profile manager, the backup/restore menu and the update dialog need from the
// main window. The main window implements it; every call comes on the UI thread.
#pragma once

class QWidget;

namespace vantrel::profiles {
class EditSession;
}

namespace vantrel::ui {

class ProfileWindowsHost {
 public:
  virtual ~ProfileWindowsHost() = default;
  // The window the dialogs, menus and message boxes belong to.
  virtual QWidget* HostWindow() = 0;
  // Rebuilds the profile menu (without creating it) and the profile-name control.
  virtual void RebuildProfileMenu() = 0;
  // The editing session the dialogs work through.
  virtual profiles::EditSession& Session() = 0;
  // Shows the progress picture while long device work runs (on = true) and hides it
  // again (on = false). Calls come in pairs.
  virtual void ShowProgress(bool on) = 0;
  // Redraws the key buttons from the editing store after it was replaced.
  virtual void RefreshKeyButtons() = 0;
};

}  // namespace vantrel::ui
