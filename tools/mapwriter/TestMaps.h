#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lw::mapwriter {

struct NamedMap {
  std::string name;   // the file name, ".bsp" included
  std::string bytes;  // the whole file
};

// The maps shipped to try the program on, of the sizes real maps have.
std::vector<NamedMap> MakeSampleMaps();

// Small maps with one unusual or broken trait each, named after it
// ("too_short.bsp", "swapped_directory.bsp" ...).
std::vector<NamedMap> MakeTestMaps();
// One of them by name; raises std::out_of_range for an unknown name.
std::string MakeTestMap(std::string_view name);

// The entity text of the small test maps (lump form, without the NUL).
std::string TestEntityText();

}  // namespace lw::mapwriter
