#include "platform/posix/PosixSettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/AsciiCase.h"
#include "platform/FileSave.h"
#include "platform/GameKeys.h"
#include "platform/SteamLibraries.h"
#include "platform/posix/HomeFolder.h"

namespace lw {
namespace {

constexpr std::string_view kNewFileHeader =
    "# Lumpwright's settings: a [key] line, then name=value lines under it.\n"
    "# Values are kept byte for byte; %XX stands for the byte of hex value XX.\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Escapes what the line format needs: control bytes, '%', blanks at either end
// (reading trims unescaped ones, so hand-edited "a = b" still reads), and the
// bytes in `special`. Bytes from 0x80 up stay as they are, so UTF-8 paths read
// naturally.
std::string Escape(std::string_view bytes, std::string_view special) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  size_t firstKept = 0;
  while (firstKept < bytes.size() && IsBlank(bytes[firstKept])) ++firstKept;
  size_t endKept = bytes.size();
  while (endKept > firstKept && IsBlank(bytes[endKept - 1])) --endKept;

  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const bool escape = byte < 0x20 || byte == 0x7F || byte == '%' || i < firstKept || i >= endKept ||
                        special.find(static_cast<char>(byte)) != std::string_view::npos;
    if (escape) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A '%' not followed by two hex digits is taken as itself, so a hand-typed
// percent sign survives.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

constexpr std::string_view kNameSpecials = "=[]#;";
constexpr std::string_view kSectionSpecials = "[]";

// The settings file as lines, so that a rewrite keeps comments and every line
// it does not change.
class SettingsText {
 public:
  explicit SettingsText(std::string_view text) {
    std::string section;
    while (!text.empty()) {
      const size_t end = text.find('\n');
      std::string_view raw = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

      Line line{std::string(raw), section, std::nullopt, {}, false};
      if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);  // edited on Windows
      const std::string_view content = Trimmed(raw);
      if (content.empty() || content.front() == '#' || content.front() == ';') {
        // a blank line or a comment
      } else if (content.front() == '[' && content.back() == ']' && content.size() >= 2) {
        section = Unescape(Trimmed(content.substr(1, content.size() - 2)));
        line.section = section;
        line.isHeader = true;
      } else if (const size_t equals = content.find('='); equals != std::string_view::npos) {
        line.name = Unescape(Trimmed(content.substr(0, equals)));
        line.value = Unescape(Trimmed(content.substr(equals + 1)));
      }
      lines_.push_back(std::move(line));
    }
  }

  [[nodiscard]] bool HasSection(std::string_view section) const {
    for (const Line& line : lines_) {
      if (line.isHeader && EqualsIgnoringAsciiCase(line.section, section)) return true;
    }
    return false;
  }

  // The first value of that name in any section of that name.
  [[nodiscard]] const std::string* Find(std::string_view section, std::string_view name) const {
    const size_t index = IndexOf(section, name);
    return index == kNone ? nullptr : &lines_[index].value;
  }

  void Set(std::string_view section, std::string_view name, std::string_view value) {
    Line line{Escape(name, kNameSpecials) + "=" + Escape(value, {}), std::string(section), std::string(name),
              std::string(value), false};
    if (const size_t index = IndexOf(section, name); index != kNone) {
      lines_[index] = std::move(line);
      return;
    }
    // After the last value line of the section, or right after its header.
    size_t insertAt = kNone;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (EqualsIgnoringAsciiCase(lines_[i].section, section) && (lines_[i].isHeader || lines_[i].name))
        insertAt = i + 1;
    }
    if (insertAt == kNone) {
      if (lines_.empty()) {
        for (std::string_view header = kNewFileHeader; !header.empty();) {
          const size_t end = header.find('\n');
          lines_.push_back(Line{std::string(header.substr(0, end)), {}, std::nullopt, {}, false});
          header.remove_prefix(end + 1);
        }
      }
      lines_.push_back(Line{});
      // Built by appending: g++ 12 warns falsely about "[" + string at -O3.
      std::string header(1, '[');
      header += Escape(section, kSectionSpecials);
      header += ']';
      lines_.push_back(Line{std::move(header), std::string(section), std::nullopt, {}, true});
      insertAt = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
  }

  [[nodiscard]] std::string Text() const {
    std::string text;
    for (const Line& line : lines_) {
      text += line.text;
      text += '\n';
    }
    return text;
  }

 private:
  struct Line {
    std::string text;  // as it stands in the file
    std::string section;
    std::optional<std::string> name;  // set on value lines only
    std::string value;
    bool isHeader = false;
  };
  static constexpr size_t kNone = static_cast<size_t>(-1);

  [[nodiscard]] size_t IndexOf(std::string_view section, std::string_view name) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
      const Line& line = lines_[i];
      if (line.name && EqualsIgnoringAsciiCase(line.section, section) && EqualsIgnoringAsciiCase(*line.name, name))
        return i;
    }
    return kNone;
  }

  std::vector<Line> lines_;
};

// The file's bytes; empty when it does not exist, nothing when it exists but
// cannot be read (so that a rewrite never drops what it could not see).
std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return bytes;
}

}  // namespace

std::string DefaultSettingsFile() {
  // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string folder =
      configHome != nullptr && configHome[0] == '/' ? std::string(configHome) : HomeFolder() + "/.config";
  return folder + "/lumpwright/settings.ini";
}

std::vector<std::string> SteamRootsUnder(const std::string& home) {
  return {home + "/.steam/steam", home + "/.steam/root", home + "/.local/share/Steam",
          home + "/.var/app/com.valvesoftware.Steam/.local/share/Steam"};
}

PosixSettingsStore::PosixSettingsStore(std::string settingsFile, std::vector<std::string> steamRoots, FileSystem& files)
    : settingsFile_(std::move(settingsFile)), steamRoots_(std::move(steamRoots)), files_(&files) {}

bool PosixSettingsStore::OpenKey(const CString& subkey) {
  if (const auto text = ReadWholeFile(settingsFile_); text && SettingsText(*text).HasSection(subkey.View())) {
    return true;
  }
  return SteamGameFolder(subkey).has_value();
}

bool PosixSettingsStore::QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes,
                                    std::string& bytes) {
  std::optional<std::string> value;
  if (const auto text = ReadWholeFile(settingsFile_)) {
    const SettingsText settings(*text);
    if (const std::string* stored = settings.Find(subkey.View(), valueName.View())) value = *stored;
  }
  // What the file says about a game key comes first, so a person can point
  // the program at a game that Steam does not know of.
  if (!value && EqualsIgnoringAsciiCase(valueName.View(), kInstallPathValue)) value = SteamGameFolder(subkey);
  if (!value || value->size() > maxBytes) return false;
  bytes = std::move(*value);
  return true;
}

bool PosixSettingsStore::SetStringValue(const CString& subkey, const CString& valueName, const CString& value) {
  const auto old = ReadWholeFile(settingsFile_);
  if (!old) return false;
  SettingsText text(*old);
  text.Set(subkey.View(), valueName.View(), value.View());
  const std::string bytes = text.Text();

  // A settings file that is a link (kept with the user's other dotfiles) is
  // saved where it points, so that the link stays.
  const std::optional<CString> target = files_->ResolveLinks(CString(settingsFile_));
  if (!target) return false;
  const size_t slash = target->Str().rfind('/');
  if (slash != std::string::npos && slash > 0) {
    // A folder that cannot be made fails the save below.
    std::error_code error;
    std::filesystem::create_directories(target->Str().substr(0, slash), error);
  }
  return SaveFileBytes(*files_, *target, bytes);
}

std::optional<std::string> PosixSettingsStore::SteamGameFolder(const CString& subkey) const {
  if (EqualsIgnoringAsciiCase(subkey.View(), kCounterStrikeKey)) return FindSteamGameFolder(steamRoots_, true);
  if (EqualsIgnoringAsciiCase(subkey.View(), kHalfLifeKey)) return FindSteamGameFolder(steamRoots_, false);
  return std::nullopt;
}

SettingsStore& SystemSettingsStore() {
  static PosixSettingsStore store(DefaultSettingsFile(), SteamRootsUnder(HomeFolder()));
  return store;
}

}  // namespace lw
