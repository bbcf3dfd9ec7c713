#include "core/keys/macro.h"

#include <algorithm>

#include "core/keys/key_codes.h"
#include "core/text/utf16.h"
#include "core/util/bytes.h"

namespace vantrel::keys {

MacroRecord MacroRecord::FromBytes(std::span<const std::uint8_t> bytes) {
  MacroRecord r;
  const std::size_t n = std::min(bytes.size(), kSize);
  std::copy_n(bytes.begin(), n, r.bytes_.begin());
  return r;
}

std::u16string MacroRecord::Name() const {
  std::u16string name;
  for (std::size_t i = 0; i < kMaxNameChars; ++i) {
    const std::uint16_t c = LoadU16(bytes_, 2 * i);
    if (c == 0) break;
    name += static_cast<char16_t>(c);
  }
  return name;
}

void MacroRecord::SetName(std::u16string_view name) {
  std::fill_n(bytes_.begin(), kNameBytes, 0);
  const std::size_t n = std::min(name.size(), kMaxNameChars);
  for (std::size_t i = 0; i < n && name[i] != 0; ++i) StoreU16(bytes_, 2 * i, name[i]);
}

std::uint16_t MacroRecord::NewFlag() const { return LoadU16(bytes_, kNewFlagOffset); }
void MacroRecord::SetNewFlag(std::uint16_t f) { StoreU16(bytes_, kNewFlagOffset, f); }
std::uint16_t MacroRecord::RepeatMode() const { return LoadU16(bytes_, kRepeatOffset); }
std::uint16_t MacroRecord::Id() const { return LoadU16(bytes_, kIdOffset); }
void MacroRecord::SetId(std::uint16_t id) { StoreU16(bytes_, kIdOffset, id); }

std::size_t MacroRecord::ActionCount() const {
  return std::min<std::size_t>(LoadU16(bytes_, kCountOffset), kMaxActions);
}

MacroAction MacroRecord::Action(std::size_t i) const {
  if (i >= kMaxActions) return {};
  const std::size_t off = kActionsOffset + i * kActionSize;
  MacroAction a;
  a.delay = LoadI32(bytes_, off);
  a.code = LoadU16(bytes_, off + 4);
  a.direction = LoadU16(bytes_, off + 6);
  return a;
}

std::vector<MacroAction> MacroRecord::Actions() const {
  std::vector<MacroAction> out;
  const std::size_t n = ActionCount();
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) out.push_back(Action(i));
  return out;
}

void MacroRecord::SetActions(std::span<const MacroAction> actions) {
  const std::size_t n = std::min(actions.size(), kMaxActions);
  std::fill(bytes_.begin() + kActionsOffset, bytes_.end(), 0);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t off = kActionsOffset + i * kActionSize;
    StoreI32(bytes_, off, actions[i].delay);
    StoreU16(bytes_, off + 4, actions[i].code);
    StoreU16(bytes_, off + 6, actions[i].direction > 1 ? std::uint16_t{kPress} : actions[i].direction);
  }
  StoreU16(bytes_, kCountOffset, static_cast<std::uint16_t>(n));
}

MacroRecord NewMacro(std::u16string_view name, std::uint16_t id) {
  MacroRecord r;
  r.SetName(name);
  r.SetCycles(1);
  r.SetNewFlag(1);  // with the zero repeat mode after it: the 32-bit 1 at offset 502
  r.SetId(id);
  return r;
}

MacroBlockSizes ComputeMacroBlockSizes(std::span<const MacroRecord> macros) {
  MacroBlockSizes s;
  s.bare = kMacroBlockHeader + 2 * macros.size();
  s.full = s.bare;
  for (const MacroRecord& m : macros) {
    const std::size_t entry = 4 * m.ActionCount() + 4;
    s.bare += entry;
    s.full += entry + 2 * m.Name().size();
  }
  return s;
}

std::uint32_t EncodeDeviceAction(const MacroAction& a) {
  std::uint8_t type = 0, b2 = 0, b3 = 0;
  const std::uint16_t code = a.code;
  if (std::uint8_t bit = ModifierBitOfCode(code); bit != 0) {
    type = 2, b2 = 0x01, b3 = bit;
  } else if (code == kCodeMouseLeft) {
    type = 1, b2 = 0x01, b3 = 0x01;
  } else if (code == kCodeMouseRight) {
    type = 1, b2 = 0x01, b3 = 0x02;
  } else if (code == kCodeMouseMiddle) {
    type = 1, b2 = 0x01, b3 = 0x04;
  } else if (code == kCodeWheelUp) {
    type = 1, b2 = 0x05, b3 = 0x01;
  } else if (code == kCodeWheelDown) {
    type = 1, b2 = 0x05, b3 = 0xFF;
  } else {
    const Usage u = UsageOfCode(code);
    if (u.page == kPageKeyboard) {
      type = 2, b2 = 0x02, b3 = static_cast<std::uint8_t>(u.usage);
    } else if (u.page == kPageGenericDesktop) {
      type = 4, b2 = static_cast<std::uint8_t>(u.usage), b3 = static_cast<std::uint8_t>(u.usage >> 8);
    }
  }
  const std::int32_t delay = std::clamp(a.delay, 0, kMaxDelayMs);
  std::uint16_t w = static_cast<std::uint16_t>((delay / 10) & 0x0FFF);
  w |= static_cast<std::uint16_t>(type << 12);
  if (a.direction == kPress) w |= 0x8000;
  return static_cast<std::uint32_t>(w) | (static_cast<std::uint32_t>(b2) << 16) | (static_cast<std::uint32_t>(b3) << 24);
}

MacroAction DecodeDeviceAction(std::span<const std::uint8_t> b) {
  const std::uint16_t w = LoadU16(b, 0);
  MacroAction a;
  a.delay = (w & 0x0FFF) * 10;
  const KeyEntry e{static_cast<std::uint8_t>((w >> 12) & 0x7), b.size() > 2 ? b[2] : std::uint8_t{0},
                   b.size() > 3 ? b[3] : std::uint8_t{0}};
  a.code = CodeOfEntry(e);
  a.direction = (w & 0x8000) ? kPress : kRelease;
  return a;
}

std::vector<std::uint8_t> BuildMacroBlock(std::span<const MacroRecord> macros, bool withNames) {
  const MacroBlockSizes sizes = ComputeMacroBlockSizes(macros);
  const std::size_t size = withNames ? sizes.full : sizes.bare;
  if (size > kMaxMacroBlock || macros.size() > kMaxMacros) return {};
  std::vector<std::uint8_t> block(size, 0);
  ByteWriter w(block);
  w.U16(kMacroMagic);
  w.U16(static_cast<std::uint16_t>(size));
  w.U16(static_cast<std::uint16_t>(macros.size()));
  w.U16(withNames ? 1 : 0);
  w.Zeros(8);
  std::size_t offset = kMacroBlockHeader + 2 * macros.size();
  for (const MacroRecord& m : macros) {
    w.U16(static_cast<std::uint16_t>(offset));
    offset += 4 + 4 * m.ActionCount() + (withNames ? 2 * m.Name().size() : 0);
  }
  for (const MacroRecord& m : macros) {
    const std::size_t n = m.ActionCount();
    const std::u16string name = withNames ? m.Name() : std::u16string();
    w.U16(static_cast<std::uint16_t>(n));
    w.U8(m.Cycles());
    w.U8(static_cast<std::uint8_t>(name.size()));
    for (std::size_t i = 0; i < n; ++i) w.U32(EncodeDeviceAction(m.Action(i)));
    for (char16_t c : name) w.U16(c);
  }
  if (!w.Ok() || w.Position() != size) return {};
  return block;
}

std::vector<MacroRecord> ReadMacroBlock(std::span<const std::uint8_t> block, const text::TextSource& texts) {
  std::vector<MacroRecord> out;
  if (block.size() < kMacroBlockHeader || LoadU16(block, 0) != kMacroMagic) return out;
  const std::size_t total = std::min<std::size_t>(LoadU16(block, 2), block.size());
  if (total < kMacroBlockHeader) return out;
  const std::span<const std::uint8_t> data = block.first(total);
  std::size_t n = LoadU16(data, 4);
  n = std::min({n, kMaxMacros, (total - kMacroBlockHeader) / 2});
  const std::string prefix = texts.Text("MACRO_NEW_PREFIX");
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    MacroRecord r;
    r.SetId(static_cast<std::uint16_t>(i + 1));
    r.SetCycles(1);
    std::u16string name;
    const std::size_t off = LoadU16(data, kMacroBlockHeader + 2 * i);
    if (off >= kMacroBlockHeader && off <= total && total - off >= 4) {
      const std::size_t stored = LoadU16(data, off);
      const std::size_t room = (total - off - 4) / 4;
      const std::size_t a = std::min({stored, kMaxActions, room});
      r.SetCycles(data[off + 2]);
      std::vector<MacroAction> actions;
      actions.reserve(a);
      for (std::size_t k = 0; k < a; ++k) actions.push_back(DecodeDeviceAction(data.subspan(off + 4 + 4 * k, 4)));
      r.SetActions(actions);
      // The name follows the actions; it is read only when all the stored actions were
      // there, and only as far as the block goes.
      if (a == stored) {
        const std::size_t start = off + 4 + 4 * a;
        const std::size_t len = std::min<std::size_t>({data[off + 3], kMaxNameChars, (total - start) / 2});
        for (std::size_t k = 0; k < len; ++k) name += static_cast<char16_t>(LoadU16(data, start + 2 * k));
        if (auto z = name.find(u'\0'); z != std::u16string::npos) name.resize(z);
      }
    }
    if (name.empty()) name = text::Utf8ToUtf16(prefix + std::to_string(i + 1));
    r.SetName(name);
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace vantrel::keys
