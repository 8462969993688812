#pragma once

#include <string>

namespace lw {

// The user's home folder: $HOME, else the account's entry in the user
// database; empty when neither is known.
std::string HomeFolder();

}  // namespace lw
