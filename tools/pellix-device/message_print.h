// Showing what the message store holds, the same way for every command: entry identifiers in
// hexadecimal, and a message as its properties (sorted by tag) and recipients, one a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/message_store.h"

namespace pellix::tool {

std::string Hex(const std::vector<uint8_t>& bytes);
// Upper- or lower-case digits, two a byte; nullopt for anything else.
std::optional<std::vector<uint8_t>> FromHex(const std::string& text);
// Line breaks and tabs in a text shown as "\n", "\r" and "\t", so that one value stays on one
// line and in one column.
std::string OneLine(const std::u16string& text);

// Prints "0xTAG NAME = VALUE" for every property of the message `key`, then "recipient TYPE
// ADDRESS" for each recipient. False when there is no such message.
bool PrintMessage(device::store::MessageStore& store, int64_t key);

}  // namespace pellix::tool
