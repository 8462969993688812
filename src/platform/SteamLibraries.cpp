#include "platform/SteamLibraries.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/AsciiCase.h"

namespace lw {
namespace {

// The file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(path), error);
}

size_t SkipVdfSpace(std::string_view vdf, size_t i) {
  for (;;) {
    while (i < vdf.size() && (vdf[i] == ' ' || vdf[i] == '\t' || vdf[i] == '\r' || vdf[i] == '\n')) ++i;
    if (i + 1 < vdf.size() && vdf[i] == '/' && vdf[i + 1] == '/') {
      while (i < vdf.size() && vdf[i] != '\n') ++i;
      continue;
    }
    return i;
  }
}

// One quoted or bare word of a VDF text, starting at `i`; moves `i` past it.
std::string ReadVdfWord(std::string_view vdf, size_t& i) {
  std::string word;
  if (vdf[i] != '"') {
    while (i < vdf.size() && vdf[i] != '"' && vdf[i] != '{' && vdf[i] != '}' && vdf[i] != ' ' && vdf[i] != '\t' &&
           vdf[i] != '\r' && vdf[i] != '\n') {
      word += vdf[i++];
    }
    return word;
  }
  ++i;
  while (i < vdf.size() && vdf[i] != '"') {
    if (vdf[i] == '\\' && i + 1 < vdf.size()) {
      const char next = vdf[i + 1];
      word += next == 'n' ? '\n' : next == 't' ? '\t' : next;
      i += 2;
    } else {
      word += vdf[i++];
    }
  }
  if (i < vdf.size()) ++i;  // the closing quote
  return word;
}

bool IsAllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::canonical(path, error);
  return error ? path : canonical.string();
}

}  // namespace

std::vector<std::string> LibraryFoldersOf(std::string_view vdf) {
  // Current files nest each library in a numbered block with a "path" entry;
  // older ones give the path directly as a numbered entry.
  std::vector<std::string> folders;
  std::optional<std::string> key;
  int depth = 0;
  for (size_t i = SkipVdfSpace(vdf, 0); i < vdf.size(); i = SkipVdfSpace(vdf, i)) {
    if (vdf[i] == '{' || vdf[i] == '}') {
      depth += vdf[i] == '{' ? 1 : -1;
      key.reset();
      ++i;
      continue;
    }
    std::string word = ReadVdfWord(vdf, i);
    if (!key) {
      key = std::move(word);
      continue;
    }
    if ((depth >= 2 && EqualsIgnoringAsciiCase(*key, "path")) || (depth == 1 && IsAllDigits(*key))) {
      if (!word.empty()) folders.push_back(std::move(word));
    }
    key.reset();
  }
  return folders;
}

std::optional<std::string> FindSteamGameFolder(const std::vector<std::string>& steamRoots, bool needCstrike) {
  for (const std::string& root : steamRoots) {
    std::vector<std::string> libraries{root};
    if (const auto vdf = ReadWholeFile(root + "/steamapps/libraryfolders.vdf")) {
      for (std::string& folder : LibraryFoldersOf(*vdf)) libraries.push_back(std::move(folder));
    }
    for (const std::string& library : libraries) {
      const std::string game = library + "/steamapps/common/Half-Life";
      if (IsDirectory(game) && (!needCstrike || IsDirectory(game + "/cstrike"))) return Canonical(game);
    }
  }
  return std::nullopt;
}

}  // namespace lw
