#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "platform/SteamLibraries.h"

namespace lw {

// Settings kept in a small text file that a person can read and edit:
//
//   [Software\Quellmoor\Lumpwright\Settings]
//   InstallPath=/home/ann/maps/
//
// A value is kept byte for byte; "%XX" stands for the byte of hex value XX and
// is written for control bytes, '%' itself and blanks at either end. Lines
// starting with '#' or ';' are comments. Names match without regard to ASCII
// case, as the registry's do. The file is rewritten whole through a temporary
// file in its folder and one rename, keeping the lines it does not change.
//
// The game's two keys are answered from a Steam installation of the game when
// the file does not hold them: "InstallPath" is the game's folder
// (.../steamapps/common/Half-Life, which for Counter-Strike must hold cstrike).
class PosixSettingsStore final : public SettingsStore {
 public:
  PosixSettingsStore(std::string settingsFile, std::vector<std::string> steamRoots,
                     FileSystem& files = SystemFileSystem());

  bool OpenKey(const CString& subkey) override;
  bool QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes, std::string& bytes) override;
  bool SetStringValue(const CString& subkey, const CString& valueName, const CString& value) override;

  [[nodiscard]] const std::string& SettingsFile() const { return settingsFile_; }

 private:
  // The game folder Steam holds for one of the game's keys.
  [[nodiscard]] std::optional<std::string> SteamGameFolder(const CString& subkey) const;

  std::string settingsFile_;
  std::vector<std::string> steamRoots_;
  FileSystem* files_;
};

// $XDG_CONFIG_HOME/lumpwright/settings.ini, else ~/.config/lumpwright/settings.ini.
std::string DefaultSettingsFile();

// The places Steam usually lives in under `home`, most common first.
std::vector<std::string> SteamRootsUnder(const std::string& home);

}  // namespace lw
