#include "core/lighting/lighting.h"
#include "core/lighting/lighting_records.h"

#include <algorithm>
#include <initializer_list>
#include <span>

#include "core/text/ini_file.h"

namespace vantrel::lighting {
namespace {

using device::CommandSet;

// Texts that answer with the key itself: the read-back's lines of a state with no texts set.
class KeyTexts final : public text::TextSource {
 public:
  std::string Text(std::string_view key) const override { return std::string(key); }
  std::string LightText(std::string_view key) const override { return std::string(key); }
  std::string ModeText(std::string_view key) const override { return std::string(key); }
};

const text::TextSource& TextsOf(const LightingState& state) {
  static const KeyTexts keys;
  return state.texts != nullptr ? *state.texts : keys;
}

int ClampProfile(int profile) { return std::clamp(profile, 0, static_cast<int>(kProfileCount) - 1); }

// Reads the profile's record back (one bracket, as the refresh reads it) and compares the
// bytes the writes put there, applied in order over what was read, with the record.
bool ReadBackWrites(CommandSet& commands, LightingState& state, int profile, std::span<const FieldWrite> writes) {
  state.readBack.checked = true;
  std::array<std::uint8_t, device::kPayloadSize> buffer{};
  (void)commands.CmdBegin();
  const auto base = RecordOffset(profile, 0);
  const auto result = commands.CmdReadParams(buffer, static_cast<int>(device::kPayloadSize), base);
  (void)commands.CmdEnd();
  if (result != device::kDeviceOk) {
    const auto& texts = TextsOf(state);
    state.readBack.Note(device::ReadFailure(
        texts, device::Phrase(texts, "READBACK_WHAT_LIGHTING", {std::to_string(profile)}), result));
    return false;
  }
  LightingRecord held{};
  std::copy_n(buffer.begin(), kRecordSize, held.begin());
  // What was just read is the newest copy of the keyboard's record.
  state.records[static_cast<std::size_t>(ClampProfile(profile))] = held;
  LightingRecord expected = held;
  for (const auto& w : writes) {
    for (std::size_t i = 0; i < w.bytes.size(); ++i) {
      const std::size_t at = static_cast<std::size_t>(w.offset - base) + i;
      if (w.offset >= base && at < kRecordSize) expected[at] = w.bytes[i];
    }
  }
  for (auto& line : CompareLightingRecords(ClampProfile(profile), expected, held, TextsOf(state))) {
    state.readBack.Note(line);
  }
  return !state.readBack.Failed();
}

// Every report is sent whatever the ones before it answered (the end closes what the
// begin may have opened); Refused when any of them failed. When the keyboard took them,
// the record is read back (verify and the state's verifyWrites); a difference is Refused.
WriteOutcome Bracket(CommandSet& commands, LightingState& state, int profile, std::span<const FieldWrite> writes,
                     bool verify = true) {
  state.readBack = {};
  device::KeyboardHold hold(commands.Link());  // the bracket and its read-back
  if (!hold.Held()) return WriteOutcome::Refused;
  bool taken = commands.CmdBegin() == device::kDeviceOk;
  for (const auto& w : writes) {
    taken = commands.CmdWriteParams(std::span<const std::uint8_t>(w.bytes), static_cast<int>(w.bytes.size()),
                                    w.offset) == device::kDeviceOk &&
            taken;
  }
  taken = commands.CmdEnd() == device::kDeviceOk && taken;
  if (taken) {
    // The keyboard took the writes: its record now holds them (a read-back below replaces
    // this with what it really holds).
    auto& record = state.records[static_cast<std::size_t>(ClampProfile(profile))];
    const auto base = RecordOffset(profile, 0);
    for (const auto& w : writes) {
      for (std::size_t i = 0; i < w.bytes.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(w.offset - base) + i;
        if (w.offset >= base && at < kRecordSize) record[at] = w.bytes[i];
      }
    }
  }
  if (taken && verify && state.verifyWrites) taken = ReadBackWrites(commands, state, profile, writes);
  return taken ? WriteOutcome::Taken : WriteOutcome::Refused;
}

WriteOutcome SendWrites(CommandSet& commands, LightingState& state, int profile,
                        const std::vector<FieldWrite>& writes, bool verify = true) {
  if (writes.empty()) return WriteOutcome::NotSent;
  return Bracket(commands, state, profile, writes, verify);
}

FieldWrite ByteAt(int profile, std::size_t field, int value) {
  return {RecordOffset(profile, field), {static_cast<std::uint8_t>(value)}};
}

}  // namespace

std::uint16_t RecordOffset(int profile, std::size_t field) {
  return static_cast<std::uint16_t>(kRecordSize * static_cast<std::size_t>(ClampProfile(profile)) + field);
}

void DecodeIntoState(LightingState& s, int profile) {
  const auto f = DecodeLightingRecord(s.records[static_cast<std::size_t>(ClampProfile(profile))]);
  s.effect = f.effect;
  s.brightness = f.brightness;
  s.speed = f.speed;
  s.speedPosition = 4 - f.speed;
  s.direction = f.direction;
  s.colourChoice = f.colourChoice;
  s.reportRate = std::min<int>(f.reportRate, 3);
  s.multicolour = f.multicolour != 0;
  if (f.effect == 7 && f.effect7Flag <= 1) s.variantFlag = f.effect7Flag == 1;
  if (f.trigger == 0) {
    s.triggerSingle = true;
    s.triggerGrid = false;
  } else if (f.trigger == 1) {
    s.triggerSingle = false;
    s.triggerGrid = true;
  }
  s.secondCycling = f.secondCycling != 0;
  s.thirdCycling = f.thirdCycling != 0;
  s.colour = f.colour;
  s.secondColour = f.secondColour;
  s.thirdColour = f.thirdColour;
}

int LoadLighting(CommandSet& commands, LightingState& state, int profile, LoadOccasion occasion,
                 const std::filesystem::path& wskbIni, const std::function<void()>& loadKeyColours) {
  state.supportedEffects.fill(0);
  std::array<std::uint8_t, device::kDeviceStateSize> deviceState{};
  if (commands.CmdReadDeviceState(deviceState) != device::kDeviceOk) return kLoadNoDeviceState;
  std::copy_n(deviceState.begin() + device::kStateEffectList, device::kEffectSlots, state.supportedEffects.begin());

  (void)commands.CmdBegin();
  if (occasion == LoadOccasion::Connection && loadKeyColours &&
      EffectListHolds(state.supportedEffects, kEffectUserColours)) {
    loadKeyColours();
  }
  bool allRead = true;
  for (std::size_t i = 0; i < kProfileCount; ++i) {
    // A fresh buffer per record: a failed read keeps the record's last known bytes
    // rather than taking over the bytes of the record read before it.
    std::array<std::uint8_t, device::kPayloadSize> buffer{};
    const auto offset = static_cast<std::uint16_t>(kRecordSize * i);
    if (commands.CmdReadParams(buffer, static_cast<int>(device::kPayloadSize), offset) == device::kDeviceOk) {
      std::copy_n(buffer.begin(), kRecordSize, state.records[i].begin());
    } else {
      allRead = false;
    }
  }
  if (allRead) state.recordsRead = true;
  (void)commands.CmdEnd();

  DecodeIntoState(state, profile);
  const bool open = ReadDengCheck(wskbIni);
  if (occasion == LoadOccasion::Connection) {
    state.panelOpen = open;
  } else if (open) {
    state.panelOpen = true;
  }
  return kLoadOk;
}

bool ReadLightingRecords(CommandSet& commands, std::array<LightingRecord, kProfileCount>& records) {
  bool all = true;
  (void)commands.CmdBegin();
  for (std::size_t i = 0; i < kProfileCount; ++i) {
    std::array<std::uint8_t, device::kPayloadSize> buffer{};
    const auto offset = static_cast<std::uint16_t>(kRecordSize * i);
    if (commands.CmdReadParams(buffer, static_cast<int>(device::kPayloadSize), offset) == device::kDeviceOk) {
      std::copy_n(buffer.begin(), kRecordSize, records[i].begin());
    } else {
      all = false;
    }
  }
  (void)commands.CmdEnd();
  return all;
}

WriteOutcome SendLightingRecord(CommandSet& commands, LightingState& state, int profile, const LightingRecord& record) {
  const int p = ClampProfile(profile);
  state.records[static_cast<std::size_t>(p)] = record;
  const std::vector<FieldWrite> writes{{RecordOffset(p, 0), {record.begin(), record.end()}}};
  return Bracket(commands, state, p, writes);
}

bool ReadDengCheck(const std::filesystem::path& wskbIni) {
  return text::ReadIniString(wskbIni, "KEYCOLOR", "DengCheck", "0") == "1";
}

bool WriteDengCheck(const std::filesystem::path& wskbIni, bool open) {
  return text::WriteIniString(wskbIni, "KEYCOLOR", "DengCheck", open ? "1" : "0");
}

std::vector<FieldWrite> ApplyChange(LightingState& state, int profile, const FieldChange& change) {
  const int n = change.number;
  switch (change.field) {
    case LightingField::Effect: {
      state.effect = n;
      if (n == kEffectNone) return {};
      std::vector<FieldWrite> writes{ByteAt(profile, kRecEffect, n)};
      if (ParamsOf(n).writesMulticolour) writes.push_back(ByteAt(profile, kRecMulticolour, state.multicolour ? 1 : 0));
      return writes;
    }
    case LightingField::Brightness:
      if (n == state.brightness) return {};
      state.brightness = n;
      return {ByteAt(profile, kRecBrightness, n)};
    case LightingField::Speed:
      if (n == state.speedPosition) return {};
      state.speedPosition = n;
      state.speed = 4 - n;
      return {ByteAt(profile, kRecSpeed, 4 - n)};
    case LightingField::Direction:
      state.direction = n != 0 ? 255 : 0;
      return {ByteAt(profile, kRecDirection, state.direction)};
    case LightingField::Colour:
      state.multicolour = false;
      state.colour = change.colour;
      return {ByteAt(profile, kRecMulticolour, 0),
              {RecordOffset(profile, kRecRed), {RedOf(change.colour), GreenOf(change.colour), BlueOf(change.colour)}}};
    case LightingField::Multicolour: {
      const ColourGroup group = change.group != ColourGroup::None ? change.group : ParamsOf(state.effect).colourGroup;
      if (group == ColourGroup::FY && change.on != state.multicolour) state.variantFlag = !state.variantFlag;
      state.multicolour = change.on;
      return {ByteAt(profile, kRecMulticolour, change.on ? 1 : 0)};
    }
    case LightingField::Choice:
      state.colourChoice = n;
      return {ByteAt(profile, kRecColourChoice, n)};
    case LightingField::ReportRate:
      state.reportRate = n;
      return {ByteAt(profile, kRecReportRate, n)};
  }
  return {};
}

WriteOutcome SendFieldChange(CommandSet& commands, LightingState& state, int profile, const FieldChange& change) {
  return SendWrites(commands, state, profile, ApplyChange(state, profile, change));
}

WriteOutcome SendEffect(CommandSet& commands, LightingState& state, int profile, EffectCode code) {
  return SendFieldChange(commands, state, profile, {LightingField::Effect, code});
}

WriteOutcome SendEffectAtPosition(CommandSet& commands, LightingState& state, int profile,
                                  const EffectIndexTable& table, int position) {
  return SendEffect(commands, state, profile, table.EffectAtPosition(position));
}

WriteOutcome SendBrightness(CommandSet& commands, LightingState& state, int profile, int position) {
  return SendFieldChange(commands, state, profile, {LightingField::Brightness, position});
}

WriteOutcome SendSpeed(CommandSet& commands, LightingState& state, int profile, int position) {
  return SendFieldChange(commands, state, profile, {LightingField::Speed, position});
}

WriteOutcome SendDirection(CommandSet& commands, LightingState& state, int profile, int value) {
  return SendFieldChange(commands, state, profile, {LightingField::Direction, value});
}

WriteOutcome SendColour(CommandSet& commands, LightingState& state, int profile, Rgb colour) {
  FieldChange change{LightingField::Colour};
  change.colour = colour;
  return SendFieldChange(commands, state, profile, change);
}

WriteOutcome SendMulticolour(CommandSet& commands, LightingState& state, int profile, bool on) {
  FieldChange change{LightingField::Multicolour};
  change.on = on;
  return SendFieldChange(commands, state, profile, change);
}

WriteOutcome ToggleMulticolour(CommandSet& commands, LightingState& state, int profile, ColourGroup group) {
  FieldChange change{LightingField::Multicolour};
  change.on = !state.multicolour;
  change.group = group;
  return SendFieldChange(commands, state, profile, change);
}

WriteOutcome SendColourChoice(CommandSet& commands, LightingState& state, int profile, int choice) {
  return SendFieldChange(commands, state, profile, {LightingField::Choice, choice});
}

WriteOutcome SendReportRate(CommandSet& commands, LightingState& state, int profile, int rate) {
  return SendFieldChange(commands, state, profile, {LightingField::ReportRate, rate});
}

WriteOutcome SendDefaultLighting(CommandSet& commands, LightingState& state, int profile) {
  // The record's bracket overwrites what the effect's wrote: one read-back after both.
  const WriteOutcome effect =
      SendWrites(commands, state, profile, ApplyChange(state, profile, {LightingField::Effect, 1}), false);
  state.brightness = 4;
  state.speedPosition = 2;
  state.speed = 2;
  state.direction = 0;
  state.colour = kWhite;
  state.multicolour = true;
  state.reportRate = 0;
  const auto bytes = DefaultLightingBytes();
  const std::vector<FieldWrite> record{{RecordOffset(profile, kRecEffect), {bytes.begin(), bytes.end()}}};
  const WriteOutcome written = Bracket(commands, state, profile, record, effect != WriteOutcome::Refused);
  return effect == WriteOutcome::Refused ? effect : written;
}

WriteOutcome SendRecord(CommandSet& commands, LightingState& state, int profile,
                        std::span<const std::uint8_t, kRecordSize> record) {
  const auto bytes = record.first(kDefaultRecordLength);
  const std::vector<FieldWrite> writes{{RecordOffset(profile, kRecEffect), {bytes.begin(), bytes.end()}}};
  return Bracket(commands, state, profile, writes);
}

bool ReadBackRecord(CommandSet& commands, LightingState& state, int profile) {
  std::array<std::uint8_t, device::kPayloadSize> buffer{};
  (void)commands.CmdBegin();
  const bool read = commands.CmdReadParams(buffer, static_cast<int>(device::kPayloadSize),
                                           RecordOffset(profile, 0)) == device::kDeviceOk;
  (void)commands.CmdEnd();
  if (!read) return false;
  std::copy_n(buffer.begin(), kRecordSize, state.records[static_cast<std::size_t>(ClampProfile(profile))].begin());
  DecodeIntoState(state, profile);
  return true;
}

WriteOutcome ChangeOrRecover(CommandSet& commands, LightingState& state, int profile,
                             const std::function<WriteOutcome()>& change) {
  const LightingState before = state;
  const WriteOutcome outcome = change();
  if (outcome == WriteOutcome::Refused && !ReadBackRecord(commands, state, profile)) {
    device::Verification readBack = std::move(state.readBack);
    state = before;
    state.readBack = std::move(readBack);
  }
  return outcome;
}

}  // namespace vantrel::lighting
