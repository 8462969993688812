#pragma once

#include <sys/fsuid.h>
#include <sys/types.h>

namespace lw::test {

// File permissions checked as an ordinary user's while the object lives: the
// superuser passes every permission check, so a folder without write
// permission only means something to the program run by a user.
class OrdinaryUserFiles {
 public:
  static constexpr uid_t kUser = 65534;  // "nobody"

  OrdinaryUserFiles() : previous_(static_cast<uid_t>(setfsuid(kUser))) {
    active_ = static_cast<uid_t>(setfsuid(kUser)) == kUser;
  }
  ~OrdinaryUserFiles() { setfsuid(previous_); }
  OrdinaryUserFiles(const OrdinaryUserFiles&) = delete;
  OrdinaryUserFiles& operator=(const OrdinaryUserFiles&) = delete;

  [[nodiscard]] bool Active() const { return active_; }

 private:
  uid_t previous_;
  bool active_ = false;
};

}  // namespace lw::test
