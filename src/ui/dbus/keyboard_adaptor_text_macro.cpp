// AddTextMacro of org.vantrel.Vantrel1.Keyboard: a text typed for a keyboard layout, added
// as a new macro and written to the keyboard as vantrelctl's macros add writes it.
#include "core/keys/macro.h"
#include "core/keys/text_macro.h"
#include "platform/desktop_layout.h"
#include "ui/app/app_core.h"
#include "ui/dbus/keyboard_adaptor.h"

namespace vantrel::ui {

uint KeyboardAdaptor::AddTextMacro(const QString& name, const QString& text, const QString& layout,
                                   const QDBusMessage& message) {
  // What can be refused without the layout is refused here, before anything is queued. A
  // character takes at most two UTF-16 units, and each is at least one step: a longer
  // text never fits in a macro and is not converted.
  if (static_cast<std::size_t>(text.size()) > 2 * keys::kMaxActions) {
    Refuse(message, scripting::InvalidArgument("text", core_.Texts().Text("EXTRA_MACRO_TOO_LONG")));
    return 0;
  }
  if (!layout.isEmpty() && !keys::ParseLayoutName(layout.toStdString())) {
    Refuse(message, scripting::InvalidArgument("layout", "wants a layout as XKB names it: us, de, us(dvorak), or "
                                                          "empty for the desktop's"));
    return 0;
  }
  auto* session = core_.Session();
  auto* editing = &core_.Editing();
  auto* presence = core_.Presence();
  const text::TextSource* texts = &core_.Texts();
  // The name is cut to what a macro keeps; the cut never splits a character's two units.
  QString macroName = name.left(static_cast<qsizetype>(keys::kMaxNameChars));
  if (!macroName.isEmpty() && macroName.back().isHighSurrogate()) macroName.chop(1);
  Answer(
      message, true,
      [session, editing, presence, texts, name = macroName.toStdString(), text = text.toStdString(),
       layout = layout.toStdString()] {
        BusJobResult r;
        // The desktop's layout is read here: reading it may wait for gsettings.
        const std::string typedFor = layout.empty() ? platform::DetectDesktopLayout().name.Text() : layout;
        const std::size_t capacity = presence ? presence->MacroCapacity() : 0;
        const keys::AddedTextMacro added =
            keys::AddTextMacro(*editing, name, text, typedFor, keys::kDefaultTextStepDelay, capacity, *texts);
        if (added.id == 0) {
          r.outcome = scripting::InvalidArgument("text", added.error);
          return r;
        }
        {
          keys::EditingStore::Lock lock(*editing);
          keys::SaveMacros(lock.Image());
        }
        // A macro change can touch keys of every profile (SaveMacros resets records of
        // macros that are gone): all three are written, as vantrelctl writes them.
        for (int p = 0; p < static_cast<int>(device::kProfileCount); ++p) session->MarkEdited(p);
        auto& commands = session->Service().Commands();
        const auto before = commands.LastFailure().count;
        if (session->Apply() != profiles::ApplyResult::Applied) {
          r.outcome = scripting::DeviceOutcome("AddTextMacro", before, commands.LastFailure(), session->LastReadBack());
          return r;
        }
        r.macroId = added.id;
        return r;
      },
      [](const BusJobResult& r) { return QVariantList{r.macroId}; });
  return 0;
}

}  // namespace vantrel::ui
