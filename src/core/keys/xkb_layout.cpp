#include "core/keys/xkb_layout.h"

#if defined(VANTREL_HAVE_XKBCOMMON)
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "core/text/utf16.h"
#endif

namespace vantrel::keys {

#if defined(VANTREL_HAVE_XKBCOMMON)
namespace {

constexpr xkb_keycode_t kXkbOffset = 8;  // XKB key code = evdev code + 8
constexpr std::uint32_t kEvdevLeftShift = 42;
constexpr std::uint32_t kEvdevRightAlt = 100;

struct ContextFree {
  void operator()(xkb_context* p) const { xkb_context_unref(p); }
};
struct KeymapFree {
  void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
};
struct StateFree {
  void operator()(xkb_state* p) const { xkb_state_unref(p); }
};
struct ComposeTableFree {
  void operator()(xkb_compose_table* p) const { xkb_compose_table_unref(p); }
};
struct ComposeStateFree {
  void operator()(xkb_compose_state* p) const { xkb_compose_state_unref(p); }
};
using State = std::unique_ptr<xkb_state, StateFree>;

bool IsDeadKeysym(xkb_keysym_t sym) { return sym >= XKB_KEY_dead_grave && sym <= XKB_KEY_dead_longsolidusoverlay; }
bool IsKeypadKeysym(xkb_keysym_t sym) { return sym >= XKB_KEY_KP_Space && sym <= XKB_KEY_KP_Equal; }

// A key whose any level is a keypad symbol.
bool IsKeypadKey(xkb_keymap* keymap, xkb_keycode_t kc) {
  const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, kc, 0);
  for (xkb_level_index_t level = 0; level < levels; ++level) {
    const xkb_keysym_t* syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(keymap, kc, 0, level, &syms);
    for (int i = 0; i < n; ++i)
      if (IsKeypadKeysym(syms[i])) return true;
  }
  return false;
}

// A state with the modifier keys of `modifiers` held down.
State StateWith(xkb_keymap* keymap, std::uint8_t modifiers) {
  State state(xkb_state_new(keymap));
  if (!state) return state;
  if (modifiers & kLayoutShift) xkb_state_update_key(state.get(), kEvdevLeftShift + kXkbOffset, XKB_KEY_DOWN);
  if (modifiers & kLayoutAltGr) xkb_state_update_key(state.get(), kEvdevRightAlt + kXkbOffset, XKB_KEY_DOWN);
  return state;
}

bool Typeable(char32_t c) { return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0); }

struct Found {
  LayoutCharacters direct;
  std::map<xkb_keysym_t, std::vector<LayoutStroke>> dead;   // dead keysym -> its strokes
  std::map<xkb_keysym_t, std::vector<LayoutStroke>> bases;  // keysym of a character -> its strokes
};

void CollectKeys(xkb_keymap* keymap, Found& found) {
  constexpr std::array<std::uint8_t, 4> kCombos = {0, kLayoutShift, kLayoutAltGr, kLayoutShift | kLayoutAltGr};
  std::array<State, 4> states;
  for (std::size_t i = 0; i < kCombos.size(); ++i) {
    states[i] = StateWith(keymap, kCombos[i]);
    if (!states[i]) return;
  }
  const xkb_keycode_t first = std::max(xkb_keymap_min_keycode(keymap), kXkbOffset + 1);
  const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
  for (xkb_keycode_t kc = first; kc <= last && kc != XKB_KEYCODE_INVALID; ++kc) {
    if (xkb_keymap_num_layouts_for_key(keymap, kc) == 0 || IsKeypadKey(keymap, kc)) continue;
    std::array<xkb_level_index_t, 4> level{};
    for (std::size_t i = 0; i < kCombos.size(); ++i) {
      level[i] = xkb_state_key_get_level(states[i].get(), kc, xkb_state_key_get_layout(states[i].get(), kc));
    }
    for (std::size_t i = 0; i < kCombos.size(); ++i) {
      // A modifier that does not change the level is not needed for it, and held without
      // being used up by the key it would be taken as a shortcut modifier.
      if (kCombos[i] == kLayoutShift && level[1] == level[0]) continue;
      if (kCombos[i] == kLayoutAltGr && level[2] == level[0]) continue;
      if (kCombos[i] == (kLayoutShift | kLayoutAltGr) && (level[3] == level[1] || level[3] == level[2])) continue;
      const xkb_keysym_t sym = xkb_state_key_get_one_sym(states[i].get(), kc);
      if (sym == XKB_KEY_NoSymbol) continue;
      const LayoutStroke stroke{kc - kXkbOffset, kCombos[i]};
      if (IsDeadKeysym(sym)) {
        found.dead[sym].push_back(stroke);
        continue;
      }
      const char32_t c = xkb_state_key_get_utf32(states[i].get(), kc);
      if (!Typeable(c)) continue;
      found.direct[c].push_back({stroke});
      found.bases[sym].push_back(stroke);
    }
  }
}

// Dead key + base key sequences, as the compose table combines them.
void CollectDeadKeys(xkb_context* context, const Found& found, LayoutCharacters& composed) {
  if (found.dead.empty()) return;
  std::unique_ptr<xkb_compose_table, ComposeTableFree> table(
      xkb_compose_table_new_from_locale(context, "en_US.UTF-8", XKB_COMPOSE_COMPILE_NO_FLAGS));
  if (!table) return;
  std::unique_ptr<xkb_compose_state, ComposeStateFree> state(
      xkb_compose_state_new(table.get(), XKB_COMPOSE_STATE_NO_FLAGS));
  if (!state) return;
  for (const auto& [deadSym, deadStrokes] : found.dead) {
    for (const auto& [baseSym, baseStrokes] : found.bases) {
      xkb_compose_state_reset(state.get());
      xkb_compose_state_feed(state.get(), deadSym);
      xkb_compose_state_feed(state.get(), baseSym);
      if (xkb_compose_state_get_status(state.get()) != XKB_COMPOSE_COMPOSED) continue;
      std::array<char, 64> utf8{};
      const int n = xkb_compose_state_get_utf8(state.get(), utf8.data(), utf8.size());
      if (n <= 0 || static_cast<std::size_t>(n) >= utf8.size()) continue;
      const std::u32string result = text::Utf8ToUtf32(std::string_view(utf8.data(), static_cast<std::size_t>(n)));
      if (result.size() != 1 || !Typeable(result[0])) continue;
      for (const LayoutStroke& dead : deadStrokes)
        for (const LayoutStroke& base : baseStrokes) composed[result[0]].push_back({dead, base});
    }
  }
}

int ModifierCount(const LayoutWay& way) {
  int n = 0;
  for (const LayoutStroke& s : way) n += (s.modifiers & kLayoutShift ? 1 : 0) + (s.modifiers & kLayoutAltGr ? 1 : 0);
  return n;
}

}  // namespace

std::optional<LayoutCharacters> CompileLayoutCharacters(const LayoutName& name) {
  // The environment's XKB_DEFAULT_* names must not change what was asked for.
  std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
  if (!context) return std::nullopt;
  xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
  const xkb_rule_names names{"evdev", "pc105", name.layout.c_str(), name.variant.c_str(), ""};
  std::unique_ptr<xkb_keymap, KeymapFree> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return std::nullopt;

  Found found;
  CollectKeys(keymap.get(), found);
  LayoutCharacters composed;
  CollectDeadKeys(context.get(), found, composed);

  LayoutCharacters out = std::move(found.direct);
  for (auto& [c, ways] : out) {
    std::stable_sort(ways.begin(), ways.end(),
                     [](const LayoutWay& a, const LayoutWay& b) { return a[0].modifiers < b[0].modifiers; });
  }
  for (auto& [c, ways] : composed) {
    std::stable_sort(ways.begin(), ways.end(),
                     [](const LayoutWay& a, const LayoutWay& b) { return ModifierCount(a) < ModifierCount(b); });
    auto& all = out[c];
    all.insert(all.end(), ways.begin(), ways.end());
  }
  return out;
}

#else

std::optional<LayoutCharacters> CompileLayoutCharacters(const LayoutName&) { return std::nullopt; }

#endif

}  // namespace vantrel::keys
