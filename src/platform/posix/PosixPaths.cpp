#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/Paths.h"
#include "platform/posix/HomeFolder.h"

namespace lw {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir != nullptr) {
    return account->pw_dir;
  }
  return {};
}

CString DefaultMapFolder() {
  // Where Steam puts Counter-Strike's maps on Linux.
  return CString(HomeFolder() + "/.local/share/Steam/steamapps/common/Half-Life/cstrike/maps/");
}

CString EntityDumpPath() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return CString(std::string(home) + "/AllEntities.txt");
  // Without a home folder the dump lands in the current folder, named in full
  // so that the closing message says where.
  std::string folder(4096, '\0');
  if (getcwd(folder.data(), folder.size()) == nullptr) return CString("AllEntities.txt");
  folder.resize(folder.find('\0'));
  return CString(folder + (folder.back() == '/' ? "" : "/") + "AllEntities.txt");
}

}  // namespace lw
