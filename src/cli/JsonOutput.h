#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CheckCommand.h"
#include "entities/EntityOutline.h"
#include "entities/MapModes.h"

namespace lw {

// The documents that --json prints: one JSON value, pretty-printed, ending
// with a newline. Strings taken from files (paths, names, entity text) are
// bytes: each object that holds some says in its "encoding" whether they are
// given as UTF-8 ("utf-8", when every one of them is valid UTF-8) or as
// Latin-1, each byte the code point of its value ("latin-1"), so that a
// script gets the bytes back exactly. Positions are byte offsets.

struct InfoLump {
  int index;
  std::string_view name;
  std::int32_t offset;
  std::int32_t length;
};

struct InfoNamedLump {
  int index;
  std::string name;
  std::int32_t offset;
  std::int32_t length;
};

struct InfoBytes {
  std::uint64_t offset;
  std::uint64_t length;
};

// What `info` tells of one map.
struct MapInfo {
  std::string path;
  std::int32_t version = 0;
  std::uint32_t size = 0;
  int entities = 0;
  int entityLump = 0;
  bool standardLayout = false;
  std::string layoutDescription;
  std::vector<InfoLump> lumps;
  bool hasExtendedHeader = false;
  std::vector<InfoNamedLump> extendedLumps;
  bool hasBspx = false;
  std::int64_t bspxOffset = 0;
  std::vector<InfoNamedLump> bspxLumps;
  std::vector<InfoBytes> looseBytes;
  std::string saveRefusal;  // empty when the map can be saved
};

std::string InfoJson(const MapInfo& info);
// Several maps: an array of the documents of one.
std::string InfoJson(const std::vector<MapInfo>& infos);

std::string ListJson(std::string_view folder, const std::vector<std::string>& names);

// What `spawns` tells of each map.
struct MapSpawns {
  std::string path;
  MapModes modes;
};
std::string SpawnsJson(const std::vector<MapSpawns>& maps);

// The outline `entities` prints of one map.
struct MapOutline {
  std::string path;
  std::vector<OutlineRow> rows;
};
std::string OutlineJson(const std::vector<MapOutline>& maps);

// What `patch` did to one map: "changed", "unchanged" or "failed" (a dry
// run's "changed": would change), with the blocks removed, added and
// modified, the .ent file written with --ent-out, and a dry run's diff.
struct MapPatch {
  std::string path;
  std::string state;
  size_t removed = 0;
  size_t added = 0;
  size_t modified = 0;
  std::string entFile;
  std::string diff;
};
std::string PatchJson(const std::vector<MapPatch>& maps);

// A block that Find or Find Next selects: its place in the editor's text
// (display form, "\r\n" line ends) and the selected bytes.
struct FoundBlock {
  int start;
  int end;
  std::string text;
};

struct MapFinds {
  std::string path;
  std::vector<FoundBlock> blocks;
};

std::string FindJson(std::string_view search, const std::vector<MapFinds>& maps);

// Every text `check` went through, with its findings; those that could not
// be read have "readable": false.
std::string CheckJson(const std::vector<CheckedText>& checked);

}  // namespace lw
