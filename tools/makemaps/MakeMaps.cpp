// lumpwright-makemaps OUTDIR: writes the sample maps into OUTDIR and the
// unusual and broken test maps into OUTDIR/test-maps.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "mapwriter/TestMaps.h"

namespace {

bool WriteAll(const std::filesystem::path& folder, const std::vector<lw::mapwriter::NamedMap>& maps) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const auto& map : maps) {
    const auto path = folder / map.name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(map.bytes.data(), static_cast<std::streamsize>(map.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "lumpwright-makemaps: cannot write %s\n", path.string().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lumpwright-makemaps OUTDIR\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const bool written = WriteAll(folder, lw::mapwriter::MakeSampleMaps()) &&
                       WriteAll(folder / "test-maps", lw::mapwriter::MakeTestMaps());
  return written ? 0 : 1;
}
