#include "core/profiles/keyboard_check.h"

#include <algorithm>
#include <utility>

#include "core/keys/verify.h"
#include "core/lighting/lighting_record.h"
#include "core/profiles/edit_session.h"

namespace vantrel::profiles {

KeyboardReading ReadKeyboard(device::CommandSet& commands, const LastConfiguration& last) {
  KeyboardReading reading;
  if (last.keys || last.activeProfile >= 0) {
    reading.keysResult =
        keys::ReadDeviceConfiguration(commands, reading.config, last.factory ? &*last.factory : nullptr);
  }
  if (last.lighting) {
    // The lighting area is read in a bracket of its own, as the lighting panel reads it.
    (void)commands.CmdBegin();
    for (std::size_t p = 0; p < device::kProfileCount; ++p) {
      std::array<std::uint8_t, device::kPayloadSize> buffer{};
      const auto offset = static_cast<std::uint16_t>(lighting::kRecordSize * p);
      const auto result = commands.CmdReadParams(buffer, static_cast<int>(device::kPayloadSize), offset);
      if (result != device::kDeviceOk) {
        reading.lightingResult = result;
        break;
      }
      std::copy_n(buffer.begin(), lighting::kRecordSize, reading.lighting[p].begin());
    }
    (void)commands.CmdEnd();
  }
  return reading;
}

std::vector<std::string> CompareWithKeyboard(const LastConfiguration& last, const KeyboardReading& keyboard,
                                             const text::TextSource& texts) {
  std::vector<std::string> lines;
  auto append = [&lines](std::vector<std::string> more) {
    for (auto& line : more) lines.push_back(std::move(line));
  };
  if (last.keys || last.activeProfile >= 0) {
    if (keyboard.keysResult != device::kDeviceOk) {
      lines.push_back(device::ReadFailure(texts, texts.Text("READBACK_WHAT_KEYS_MACROS"), keyboard.keysResult));
    } else {
      if (last.activeProfile >= 0) {
        // Only the active profile is the program's in the state record; the rest (effect
        // list, macro capacity) is the keyboard's own and compared with itself.
        auto expected = keyboard.config.state;
        expected[device::kStateActiveProfile] = static_cast<std::uint8_t>(last.activeProfile);
        append(device::CompareDeviceState(expected, keyboard.config.state, texts));
      }
      if (last.keys) append(keys::CompareImageWithKeyboard(*last.keys, keyboard.config, texts));
    }
  }
  if (last.lighting) {
    if (keyboard.lightingResult != device::kDeviceOk) {
      lines.push_back(device::ReadFailure(texts, texts.Text("READBACK_WHAT_ALL_LIGHTING"), keyboard.lightingResult));
    } else {
      for (std::size_t p = 0; p < device::kProfileCount; ++p) {
        append(lighting::CompareLightingRecords(static_cast<int>(p), (*last.lighting)[p], keyboard.lighting[p],
                                                texts));;
      }
    }
  }
  return lines;
}

KeyboardCheck CheckKeyboard(device::CommandSet& commands, LastConfiguration last, const text::TextSource& texts) {
  KeyboardCheck check;
  check.last = std::move(last);
  if (!check.last.Known()) return check;
  const KeyboardReading reading = ReadKeyboard(commands, check.last);
  check.found.checked = true;
  for (auto& line : CompareWithKeyboard(check.last, reading, texts)) check.found.Note(std::move(line));
  return check;
}

device::Verification WriteLastConfiguration(EditSession& session, lighting::LightingState& lighting,
                                            const KeyboardCheck& check, int shownProfile) {
  device::Verification result;
  result.checked = true;
  const LastConfiguration& last = check.last;
  if (last.keys) {
    if (!session.Install(*last.keys)) {
      device::Verification readBack = session.LastReadBack();
      if (!readBack.Failed()) readBack.Note("the keyboard did not take the keys and macros");
      result.Add(std::move(readBack));
    }
  }
  if (last.lighting) {
    auto& commands = session.Service().Commands();
    for (std::size_t p = 0; p < device::kProfileCount; ++p) {
      if (lighting::SendRecord(commands, lighting, static_cast<int>(p), (*last.lighting)[p]) !=
          lighting::WriteOutcome::Taken) {
        if (!lighting.readBack.Failed()) {
          lighting.readBack.Note("the keyboard did not take the lighting of profile " + std::to_string(p));
        }
        result.Add(std::move(lighting.readBack));
      }
    }
    lighting.readBack = {};
    if (shownProfile >= 0 && shownProfile < static_cast<int>(device::kProfileCount)) {
      lighting::DecodeIntoState(lighting, shownProfile);
    }
  }
  if (last.activeProfile >= 0) {
    SwitchDecision decision;
    decision.profile = last.activeProfile;
    decision.proceed = true;
    if (!session.Switch(decision)) {
      device::Verification readBack = session.LastReadBack();
      if (!readBack.Failed()) readBack.Note("the keyboard did not take the active profile");
      result.Add(std::move(readBack));
    }
  }
  return result;
}

}  // namespace vantrel::profiles
