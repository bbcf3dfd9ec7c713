#include "platform/desktop_layout.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/util/regular_file.h"
#include "platform/autostart.h"

#if defined(VANTREL_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace vantrel::platform {
namespace {

constexpr std::size_t kMaxSettingsBytes = 64 * 1024;
constexpr int kGsettingsTimeoutMs = 3000;
constexpr std::size_t kMaxRulesListBytes = 1024 * 1024;
// Where libxkbcommon looks first as well.
constexpr const char* kXkbDataFolder = "/usr/share/X11/xkb";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::optional<std::string> X11RulesNames() {
#if defined(VANTREL_HAVE_XCB)
  if (Environment("DISPLAY").empty()) return std::nullopt;
  int screenNumber = 0;
  xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
  std::optional<std::string> out;
  if (conn != nullptr && xcb_connection_has_error(conn) == 0) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    constexpr const char* kName = "_XKB_RULES_NAMES";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 1, static_cast<std::uint16_t>(std::strlen(kName)), kName),
                              nullptr);
    if (it.rem && atom != nullptr && atom->atom != XCB_ATOM_NONE) {
      // 1024 32-bit units: far more than the five names need.
      xcb_get_property_reply_t* reply = xcb_get_property_reply(
          conn, xcb_get_property(conn, 0, it.data->root, atom->atom, XCB_ATOM_STRING, 0, 1024), nullptr);
      if (reply != nullptr && reply->type == XCB_ATOM_STRING && reply->format == 8) {
        const int length = xcb_get_property_value_length(reply);
        if (length > 0) {
          out = std::string(static_cast<const char*>(xcb_get_property_value(reply)), static_cast<std::size_t>(length));
        }
      }
      std::free(reply);
    }
    std::free(atom);
  }
  if (conn != nullptr) xcb_disconnect(conn);
  return out;
#else
  return std::nullopt;
#endif
}

std::optional<std::string> KdeKeyboardConfig() {
  const std::filesystem::path folder = UserConfigFolder();
  if (folder.empty()) return std::nullopt;
  std::string text, why;
  // A FIFO or a device in its place is never opened: the read would block.
  if (!ReadRegularFile(folder / "kxkbrc", kMaxSettingsBytes, text, why)) return std::nullopt;
  return text;
}

std::optional<std::string> GnomeInputSources() {
  QProcess gsettings;
  gsettings.setProcessChannelMode(QProcess::SeparateChannels);
  gsettings.start(QStringLiteral("gsettings"),
                  {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.input-sources"), QStringLiteral("sources")});
  if (!gsettings.waitForStarted(kGsettingsTimeoutMs)) return std::nullopt;
  if (!gsettings.waitForFinished(kGsettingsTimeoutMs)) {
    gsettings.kill();
    gsettings.waitForFinished(kGsettingsTimeoutMs);
    return std::nullopt;
  }
  if (gsettings.exitStatus() != QProcess::NormalExit || gsettings.exitCode() != 0) return std::nullopt;
  const QByteArray out = gsettings.readAllStandardOutput().left(static_cast<qsizetype>(kMaxSettingsBytes));
  return out.toStdString();
}

}  // namespace

keys::DesktopLayoutSources SystemLayoutSources() {
  keys::DesktopLayoutSources sources;
  sources.sessionType = Environment("XDG_SESSION_TYPE");
  sources.desktop = Environment("XDG_CURRENT_DESKTOP");
  sources.x11RulesNames = X11RulesNames;
  sources.kdeKeyboardConfig = KdeKeyboardConfig;
  sources.gnomeInputSources = GnomeInputSources;
  return sources;
}

keys::DesktopLayout DetectDesktopLayout() { return keys::DetectDesktopLayout(SystemLayoutSources()); }

std::vector<keys::LayoutChoice> AvailableLayouts() {
  std::string text, why;
  if (!ReadRegularFile(std::filesystem::path(kXkbDataFolder) / "rules" / "evdev.lst", kMaxRulesListBytes, text, why))
    return {};
  return keys::LayoutChoicesOfRulesList(text);
}

}  // namespace vantrel::platform
