// Comparing key tables and macro blocks as written with what the keyboard holds, in
// words: keys by the names vantrelctl uses, macros by name, one line per difference.
// Used to read back an apply and to compare the keyboard with a profile file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/read_back.h"
#include "core/keys/device_config.h"
#include "core/keys/key_table.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

// One line per table position whose entry differs, named by the key the factory table
// puts there ("profile 1, key Esc: written 02 02 29, the keyboard holds 02 02 28").
std::vector<std::string> CompareKeyTables(std::size_t profile, KeyTableView written, KeyTableView read,
                                          KeyTableView factory, const text::TextSource& texts);

// Both blocks decoded and compared macro by macro (header fields, names, cycles, steps).
// names: the macros' names in list order, used in the lines when given (a block sent
// without names carries none); otherwise the names the blocks decode to.
std::vector<std::string> CompareMacroBlocks(std::span<const std::uint8_t> written, std::span<const std::uint8_t> read,
                                            std::span<const std::u16string> names, const text::TextSource& texts);

// What an apply sent, to be read back after its bracket.
struct WrittenKeys {
  std::span<const std::uint8_t> macroBlock;
  std::span<const std::size_t> profiles;
  std::span<const DeviceKeyTable> tables;  // one per entry of profiles
  KeyTableView factory = InitialFactoryKeyTable();
  std::vector<std::u16string> macroNames;
};

// Reads the macro area (the written block's size) and each written key table, without a
// bracket (the keyboard's reads need none), and compares them with what was written.
device::Verification ReadBackKeys(device::CommandSet& commands, const WrittenKeys& written,
                                  const text::TextSource& texts);

// A store image (a profile file, the working file) against the keyboard's configuration:
// its three key tables encoded over the keyboard's factory table, and its macro block as
// an apply would build it for the keyboard's capacity (with names when they fit).
std::vector<std::string> CompareImageWithKeyboard(const StoreImage& image, const DeviceConfiguration& keyboard,
                                                  const text::TextSource& texts);

}  // namespace vantrel::keys
