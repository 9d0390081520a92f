// Checks of a contact that a person enters (the contacts command, the console), shared so that
// both refuse the same things.
#pragma once

#include <string>
#include <vector>

#include "contacts/contact_store.h"

namespace pellix::tool {

// A contact picture is kept in the contact store and decoded at every lookup.
inline constexpr size_t kMaxContactPictureBytes = 1024 * 1024;

// Files the contact under `name` (its last word as the last name).
void SetContactName(device::contacts::Contact& c, const std::string& name);
// Checks the name already set and `phones`, and stores the numbers in the contact's telephone
// fields; returns why the contact is refused, or empty.
std::string CheckContact(device::contacts::Contact& c, const std::vector<std::string>& phones);
// Why the imaging library refuses `bytes` as a picture, or empty. REQUIRES: a booted device.
std::string CheckPicture(const std::vector<uint8_t>& bytes);

}  // namespace pellix::tool
