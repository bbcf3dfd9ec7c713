// sheet: the printable key map of one profile (or all three) as PDF, SVG or PNG.
#include <QDate>
#include <QGuiApplication>
#include <QString>
#include <memory>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "core/keys/key_sheet.h"
#include "core/text/ini_file.h"
#include "platform/console.h"
#include "sheet/key_sheet_render.h"

namespace vantrel::ctl {
namespace {

// The fonts need a QGuiApplication. Without a display it runs on the offscreen platform,
// which draws into files as well as any other.
std::unique_ptr<QGuiApplication> StartGui() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  static int argc = 1;
  static char name[] = "vantrelctl";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

void RunSheet(Context& ctx, int profileOption, bool all, bool mono, const std::string& file) {
  if (sheet::SheetFormatOf(QString::fromStdString(file)) == sheet::SheetFormat::Unknown) {
    ctx.Err() << "sheet: " << file << ": the file name must end in .pdf, .svg or .png\n";
    ctx.SetExitCode(kExitUsage);
    return;
  }
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  std::vector<std::size_t> profiles;
  if (all) {
    profiles = {0, 1, 2};
  } else if (profileOption >= 0) {
    profiles = {static_cast<std::size_t>(profileOption)};
  } else {
    const int active = s.config.activeProfile;
    profiles = {active >= 0 && active <= 2 ? static_cast<std::size_t>(active) : 0};
  }
  text::IniSnapshot skin;
  const auto skinFile = platform::ExecutableFolder() / "Skins" / "Main.ini";
  if (!skin.Load(skinFile)) {
    ctx.Err() << "sheet: cannot read the key picture's layout " << skinFile.string() << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  const auto gui = StartGui();
  const std::string date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  std::vector<keys::KeySheet> sheets;
  {
    keys::EditingStore::Lock lock(s.editing);
    for (const std::size_t p : profiles) sheets.push_back(keys::BuildKeySheet(lock.Image(), p, skin, s.texts, date));
  }
  QString why;
  if (!sheet::WriteKeySheets(sheets, QString::fromStdString(file), mono, &why)) {
    ctx.Err() << "cannot write " << file << ": " << why.toStdString() << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  ctx.Out() << "key map of " << (all ? std::string("all profiles") : "profile " + std::to_string(profiles.front()))
            << " written to " << file << '\n';
}

const CommandGroup kSheetCommands(26, [](CLI::App& app, Context& ctx) {
  struct Args {
    int profile = -1;
    std::string file;
  };
  auto args = std::make_shared<Args>();
  auto* sheet = app.add_subcommand("sheet", "Write the printable key map of a profile as PDF, SVG or PNG");
  auto* profile = sheet->add_option("--profile", args->profile, "On-board profile 0-2 (default: the active one)")
                      ->check(CLI::Range(0, 2));
  auto* all = sheet->add_flag("--all")->description("All three profiles (a PDF page each; SVG and PNG one below the other)");
  auto* mono = sheet->add_flag("--mono")->description("Draw for a black-and-white printer");
  sheet->add_option("FILE", args->file, "File to write: .pdf, .svg or .png")->required();
  profile->excludes(all);
  sheet->callback([&ctx, args, all, mono] { RunSheet(ctx, args->profile, all->count() > 0, mono->count() > 0, args->file); });
});

}  // namespace
}  // namespace vantrel::ctl
