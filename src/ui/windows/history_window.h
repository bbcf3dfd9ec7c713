// The "History" window: the configurations the keyboard held before each write (time,
// what made the write, what it changed), what differs between the selected one and the
// keyboard now, and "Restore this", which writes it back after asking when edits are
// pending. Every read of the history or the keyboard and the restore run on the device
// worker; the window shows their results.
#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

#include "core/lighting/key_colours.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/history_store.h"
#include "core/text/text_source.h"
#include "ui/skin/base_dialog.h"

namespace vantrel::ui {

class CPngButton;
class CReportCtrl;
class ColorStatic;
class DeviceWorker;

struct HistoryWindowDeps {
  DeviceWorker& worker;
  profiles::EditSession& session;
  profiles::HistoryStore& store;
  const lighting::KeyColourEditor& colourFiles;
  const text::TextSource& texts;
  text::MessageSink& messages;
};

class HistoryWindow final : public CBaseDialog {
  Q_OBJECT

 public:
  // iniPath: "Skins/History.ini"; skinFolder: the folder of its pictures.
  HistoryWindow(HistoryWindowDeps deps, const QString& iniPath, const QString& skinFolder, QWidget* parent = nullptr);

  // Shows the window (non-modal) with the entries read again, or brings it to the front.
  void Open();
  void Retranslate();
  // The entries read again (on the worker).
  void Refresh();
  // "Restore this" (tests call it as the button does).
  void RestoreSelected();

  CReportCtrl* list() const { return list_; }
  CReportCtrl* differences() const { return differences_; }
  ColorStatic* statusLine() const { return status_; }
  CPngButton* button(int controlId) const;

 signals:
  // The entries were shown again.
  void refreshed();
  // The selected entry's differences are shown.
  void compared();
  // A restore ended; `written` when the keyboard took all of it.
  void restoreFinished(bool written);

 protected:
  void OnInitDialog() override;

 private:
  void PlaceControls();
  void Refresh(bool keepStatus);
  void ShowListing(const profiles::HistoryListing& listing);
  void Compare(int row);
  void ShowStatus();
  QString Text(std::string_view key) const;

  HistoryWindowDeps deps_;
  ColorStatic* status_ = nullptr;
  CReportCtrl* list_ = nullptr;
  CReportCtrl* differences_ = nullptr;
  CPngButton* restore_ = nullptr;
  CPngButton* close_ = nullptr;
  profiles::HistoryListing listing_;
  std::string statusKey_;     // what the status line says, by language key
  std::string statusDetail_;  // with this for its %s
  int requests_ = 0;          // comparisons asked for; an older answer is dropped
  bool busy_ = false;         // a restore runs
};

}  // namespace vantrel::ui
