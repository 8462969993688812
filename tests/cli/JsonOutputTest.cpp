// --json: the documents parse, and the bytes they carry (paths, names, entity
// text) come back exactly through the encoding each object names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TestPaths.h"
#include "mapwriter/MapWriter.h"
#include "mapwriter/TestMaps.h"
#include "platform/CString.h"
#include "support/TempDir.h"

namespace lw {
namespace {

using Json = nlohmann::json;
using test::RunArgs;
namespace fs = std::filesystem;
namespace mw = lw::mapwriter;

// The bytes a JSON string stands for under `encoding`: UTF-8 as it is;
// Latin-1 one byte per code point, each below 256.
std::string Bytes(const Json& value, const std::string& encoding) {
  const auto& text = value.get_ref<const std::string&>();
  if (encoding == "utf-8") return text;
  EXPECT_EQ(encoding, "latin-1");
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      bytes += text[i];
      continue;
    }
    // Latin-1 code points take two bytes in UTF-8, with a lead of 0xC2 or 0xC3.
    EXPECT_TRUE((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size()) << "code point past U+00FF";
    if (i + 1 >= text.size()) break;
    bytes += static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
  }
  return bytes;
}

std::int32_t Le32(const std::string& bytes, size_t at) {
  std::uint32_t value = 0;
  for (size_t k = 0; k < 4; ++k)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + k])) << (8 * k);
  return static_cast<std::int32_t>(value);
}

std::string MapWithText(const std::string& text) {
  return mw::WriteMap(mw::MakeMapContents(text, 3, 8 * 1024, 2 * 1024));
}

// Each row runs a command with --json and then without, and checks that the
// document holds what the text output and the map's own bytes say.
struct JsonRow {
  std::string label;
  std::vector<std::string> args;       // without --json
  std::vector<std::string> encodings;  // of the document (info, list), of each map (find) or file (check)
  int status = 0;
};

class JsonOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // "café" in UTF-8 in one map and in Latin-1 (0xE9) in the other; the
    // Latin-1 one also has a lone continuation byte and a control byte.
    const std::string utf8Text =
        mw::MakeEntityText(6, 5) + "{\n\"classname\" \"info_target\"\n\"message\" \"caf\xC3\xA9 \xE2\x98\xA2\"\n}\n";
    const std::string latin1Text =
        "{\n\"classname\" \"worldspawn\"\n\"message\" \"caf\xE9 \x80\x05\"\n}\n{\n\"classname\" "
        "\"info_player_start\"\n\"netname\" \"\xFF\xFE\"\n\"origin\" \"0 0 64\"\n}\n";
    test::WriteFileBytes(dir_.Path() / "b_utf8.bsp", MapWithText(utf8Text));
    test::WriteFileBytes(dir_.Path() / "a_latin1.bsp", MapWithText(latin1Text));
    test::WriteFileBytes(dir_.Path() / "swapped.bsp", mw::MakeTestMap("swapped_directory.bsp"));
    // Out of the folder the list and find rows read.
    fs::create_directory(dir_.Path() / "extras");
    test::WriteFileBytes(dir_.Path() / "extras" / "extras.bsp", mw::MakeTestMap("extended_bspx.bsp"));
    test::WriteFileBytes(dir_.Path() / "extras" / "tail.bsp", mw::MakeTestMap("trailing_data.bsp"));
    // A key given twice (a warning that quotes the key's Latin-1 bytes) and an
    // unpaired quote (an error), in entity text files beside the maps.
    test::WriteFileBytes(dir_.Path() / "twice.ent",
                         "{\n\"classname\" \"worldspawn\"\n\"wad\" \"x\"\n}\n{\n\"classname\" \"info_target\"\n"
                         "\"caf\xE9\" \"1\"\n\"caf\xE9\" \"2\"\n}\n");
    test::WriteFileBytes(dir_.Path() / "quote.ent",
                         "{\n\"classname\" \"worldspawn\"\n\"wad\" \"caf\xE9\"\n}\n{\n\"classname\" "
                         "\"info_target\"\n\"origin\" \"1 2\n}\n");
    test::WriteFileBytes(
        dir_.Path() / "sky.cfg",
        "modify:\n{ match: { \"classname\" \"worldspawn\" } replace: { \"message\" \"caf\xE9!\" } }\n");
    test::WriteFileBytes(dir_.Path() / "no_world.bsp",
                         MapWithText("{\n\"classname\" \"info_target\"\n\"message\" \"caf\xE9 and more text\"\n}\n"));
  }

  std::string Map(const std::string& name) const { return dir_.File(name); }
  static std::string Real(const std::string& name) { return (fs::path(test::kRealMapsDir) / name).string(); }

  test::TempDir dir_;
};

TEST_F(JsonOutputTest, DocumentsCarryTheBytesOfTheTextOutput) {
  const std::string folder = dir_.Path().string();
  const std::vector<JsonRow> rows = {
      {"info of a made map", {"info", Map("b_utf8.bsp")}, {"utf-8"}},
      {"info of a swapped directory", {"info", Map("swapped.bsp")}, {"utf-8"}},
      {"info of a map with an extended header and a BSPX block", {"info", Map("extras/extras.bsp")}, {"utf-8"}},
      {"info of a map with bytes no table describes", {"info", Map("extras/tail.bsp")}, {"utf-8"}},
      {"info of a real map with 8-bit text", {"info", Real("zm_nuke_uac_remake_beta2.bsp")}, {"utf-8"}},
      {"list of a folder", {"list", folder}, {"utf-8"}},
      {"find in UTF-8 text", {"find", "caf", Map("b_utf8.bsp")}, {"utf-8"}},
      {"find in Latin-1 text", {"find", "\"", Map("a_latin1.bsp")}, {"latin-1"}},
      {"find with a Latin-1 search string", {"find", "caf\xE9", Map("a_latin1.bsp")}, {"latin-1"}},
      {"find over a folder, each map its own encoding",
       {"find", "classname", folder},
       {"latin-1", "utf-8", "latin-1", "utf-8"}},
      {"find with no match", {"find", "no such entity", Map("b_utf8.bsp")}, {"utf-8"}, kExitNothingMatched},
      {"find in a real map with 8-bit text", {"find", "worldspawn", Real("zm_nuke_uac_remake_beta2.bsp")}, {"latin-1"}},
      {"find braces inside values", {"find", "{target", Real("de_tw.bsp")}, {"utf-8"}},
      {"check of text files, a warning quoting 8-bit bytes and an error",
       {"check", Map("twice.ent"), Map("quote.ent")},
       {"latin-1", "utf-8"},
       1},
      {"check of a map with an error", {"check", Map("no_world.bsp")}, {"utf-8"}, 1},
      {"check of a real map with 8-bit text", {"check", Real("zm_nuke_uac_remake_beta2.bsp")}, {"utf-8"}},
      {"patch's dry run with its diff",
       {"patch", "--recipe", Map("sky.cfg"), "--dry-run", Map("a_latin1.bsp")},
       {"latin-1"}},
      {"patch that changes nothing",
       {"patch", "--recipe", Map("sky.cfg"), "--dry-run", Map("no_world.bsp")},
       {"utf-8"}},
  };
  for (const JsonRow& row : rows) {
    SCOPED_TRACE(row.label);
    // The rows on the real maps wait for a checkout that has them.
    const bool needsRealMaps = std::any_of(row.args.begin(), row.args.end(),
                                           [](const std::string& arg) { return arg.starts_with(test::kRealMapsDir); });
    if (needsRealMaps && !fs::exists(test::kRealMapsDir)) continue;
    std::vector<std::string> jsonArgs = row.args;
    jsonArgs.push_back("--json");
    const test::CliResult json = RunArgs(jsonArgs);
    const test::CliResult text = RunArgs(row.args);
    EXPECT_EQ(json.status, row.status) << json.err;
    EXPECT_EQ(text.status, row.status) << text.err;
    EXPECT_EQ(json.err, text.err);
    const Json document = Json::parse(json.out);  // throws on anything but one JSON document
    const std::string& command = row.args[0];
    const std::string& operand = row.args.back();

    if (command == "info") {
      EXPECT_EQ(document["encoding"], row.encodings[0]);
      EXPECT_EQ(Bytes(document["path"], document["encoding"]), operand);
      const std::string bytes = test::ReadFileBytes(operand);
      EXPECT_EQ(document["version"], Le32(bytes, 0));
      EXPECT_EQ(document["size"], bytes.size());
      EXPECT_NE(text.out.find("entities:     " + std::to_string(document["entities"].get<int>()) + " blocks in lump " +
                              std::to_string(document["entity_lump"].get<int>())),
                std::string::npos);
      EXPECT_NE(text.out.find("layout:       " + document["layout_description"].get<std::string>() + "\n"),
                std::string::npos);
      EXPECT_EQ(document["layout"] == "standard", text.out.find("layout:       standard") != std::string::npos);
      // The extra tables' rows, each as the text prints it and as the map stores it.
      const auto lumpRow = [](const Json& lump, int width) {
        return FormatString("  %5d  %-*s  %10d  %10d\n", lump["index"].get<int>(), width,
                            lump["name"].get<std::string>().c_str(), lump["offset"].get<int>(),
                            lump["length"].get<int>())
            .Str();
      };
      if (!document["extended_header"].is_null()) {
        ASSERT_EQ(document["extended_header"]["lumps"].size(), 12u);
        for (size_t i = 0; i < 12; ++i) {
          const Json& lump = document["extended_header"]["lumps"][i];
          EXPECT_EQ(lump["offset"], Le32(bytes, 132 + 8 * i));
          EXPECT_EQ(lump["length"], Le32(bytes, 136 + 8 * i));
          EXPECT_NE(text.out.find(lumpRow(lump, 12)), std::string::npos) << text.out;
        }
      }
      if (!document["bspx"].is_null()) {
        const auto at = document["bspx"]["offset"].get<size_t>();
        EXPECT_EQ(bytes.substr(at, 4), "BSPX");
        EXPECT_NE(text.out.find("BSPX lumps (block at " + std::to_string(at) + "):"), std::string::npos);
        for (size_t i = 0; i < document["bspx"]["lumps"].size(); ++i) {
          const Json& lump = document["bspx"]["lumps"][i];
          EXPECT_EQ(bytes.substr(at + 8 + 32 * i, 24).c_str(), lump["name"].get<std::string>());
          EXPECT_EQ(lump["offset"], Le32(bytes, at + 32 + 32 * i));
          EXPECT_NE(text.out.find(lumpRow(lump, 24)), std::string::npos) << text.out;
        }
      }
      for (const Json& loose : document["loose_bytes"]) {
        EXPECT_NE(text.out.find(std::to_string(loose["length"].get<size_t>()) + " bytes at " +
                                std::to_string(loose["offset"].get<size_t>()) + "\n"),
                  std::string::npos);
      }
      ASSERT_EQ(document["lumps"].size(), 15u);
      for (size_t i = 0; i < 15; ++i) {
        const Json& lump = document["lumps"][i];
        EXPECT_EQ(lump["index"], i);
        EXPECT_EQ(lump["offset"], Le32(bytes, 4 + 8 * i));
        EXPECT_EQ(lump["length"], Le32(bytes, 8 + 8 * i));
        EXPECT_NE(text.out.find(" " + lump["name"].get<std::string>() + " "), std::string::npos);
      }
    } else if (command == "patch") {
      ASSERT_EQ(document["maps"].size(), 1u);
      const Json& map = document["maps"][0];
      EXPECT_EQ(map["encoding"], row.encodings[0]);
      EXPECT_EQ(Bytes(map["path"], map["encoding"]), operand);
      const std::string diff = map.contains("diff") ? Bytes(map["diff"], map["encoding"]) : std::string();
      // The text output is the diff and the map's message.
      EXPECT_EQ(text.out.substr(0, diff.size()), diff);
      EXPECT_EQ(map["state"], diff.empty() ? "unchanged" : "changed");
      EXPECT_EQ(map["modified"], diff.empty() ? 0 : 1);
    } else if (command == "list") {
      EXPECT_EQ(document["encoding"], row.encodings[0]);
      EXPECT_EQ(Bytes(document["folder"], document["encoding"]), operand);
      std::string listing;
      for (const Json& name : document["maps"]) listing += Bytes(name, document["encoding"]) + '\n';
      EXPECT_EQ(listing, text.out);
    } else if (command == "check") {
      ASSERT_EQ(document["files"].size(), row.encodings.size());
      // The text output again, made from the document; each finding's line
      // and column are those of its byte offset in the text checked.
      std::string rebuilt;
      size_t errors = 0;
      size_t warnings = 0;
      for (size_t f = 0; f < row.encodings.size(); ++f) {
        const Json& file = document["files"][f];
        const std::string encoding = file["encoding"];
        EXPECT_EQ(encoding, row.encodings[f]);
        EXPECT_TRUE(file["readable"].get<bool>());
        const std::string path = Bytes(file["path"], encoding);
        EXPECT_EQ(path, row.args[f + 1]);
        const std::string checkedText =
            file["kind"] == "map" ? RunArgs({"export", path}).out : test::ReadFileBytes(path);
        for (const Json& finding : file["findings"]) {
          const std::string severity = finding["severity"];
          ++(severity == "error" ? errors : warnings);
          const size_t offset = finding["offset"];
          ASSERT_LE(offset, checkedText.size());
          const std::string before = checkedText.substr(0, offset);
          const size_t lineStart = before.rfind('\n') == std::string::npos ? 0 : before.rfind('\n') + 1;
          EXPECT_EQ(finding["line"], 1 + static_cast<size_t>(std::count(before.begin(), before.end(), '\n')));
          EXPECT_EQ(finding["column"], offset - lineStart + 1);
          rebuilt += path + ":" + std::to_string(finding["line"].get<size_t>()) + ":" +
                     std::to_string(finding["column"].get<size_t>()) + ": " + severity + ": " +
                     Bytes(finding["message"], encoding) + "\n";
        }
      }
      EXPECT_EQ(document["errors"], errors);
      EXPECT_EQ(document["warnings"], warnings);
      EXPECT_EQ(rebuilt, text.out);
    } else {
      EXPECT_EQ(Bytes(document["search"], document["encoding"]), row.args[1]);
      ASSERT_EQ(document["maps"].size(), row.encodings.size());
      // The text output again, made from the document: every path, position and byte.
      std::string rebuilt;
      for (size_t m = 0; m < row.encodings.size(); ++m) {
        const Json& map = document["maps"][m];
        const std::string encoding = map["encoding"];
        EXPECT_EQ(encoding, row.encodings[m]);
        const std::string path = Bytes(map["path"], encoding);
        const std::string display = RunArgs({"show", path}).out;
        for (const Json& block : map["blocks"]) {
          const int start = block["start"];
          const int end = block["end"];
          const std::string selected = Bytes(block["text"], encoding);
          EXPECT_EQ(selected, display.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
          rebuilt += path + ":" + std::to_string(start) + "-" + std::to_string(end) + "\n" + selected;
          if (rebuilt.back() != '\n') rebuilt += '\n';
        }
      }
      EXPECT_EQ(rebuilt, text.out);
    }
  }
}

TEST_F(JsonOutputTest, UnreadableMapsAreLeftOutAndFailTheRun) {
  test::WriteFileBytes(dir_.Path() / "c_broken.bsp", mw::MakeTestMap("too_short.bsp"));
  const test::CliResult result = RunArgs({"find", "classname", dir_.Path().string(), "--json"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("c_broken.bsp"), std::string::npos);
  const Json document = Json::parse(result.out);
  ASSERT_EQ(document["maps"].size(), 4u);
  for (const Json& map : document["maps"])
    EXPECT_EQ(map["path"].get<std::string>().find("c_broken"), std::string::npos);
}

}  // namespace
}  // namespace lw
