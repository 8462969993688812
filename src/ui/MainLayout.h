// Where the main window's and the About box's controls sit, in dialog units
// (x, y, width, height), and what each does when the main window is made
// larger or smaller, written once: the Windows resource script builds its
// templates from the macros, both windows lay out and resize from the table.
//
// The resource compiler reads the first part, so it holds preprocessor macros
// only; the C++ part at the end is hidden from it.
#pragma once

#include "ui/Resource.h"

// The main template's size; how much lower than it the window may be made
// (the map list and the text give the room up, so that the window fits a
// 1366x768 screen with a panel).
#define LW_MAIN_WIDTH 730
#define LW_MAIN_HEIGHT 403
#define LW_MAIN_SHRINKABLE_HEIGHT 150
// Where the outline's column starts: the controls left of it are the ones
// every version of the window had.
#define LW_MAIN_OUTLINE_X 540

#define LW_PLACE_MAP_FOLDER 17, 48, 143, 12
#define LW_PLACE_BROWSE 110, 27, 50, 14
#define LW_PLACE_MAP_FILTER 64, 74, 96, 12
#define LW_PLACE_MAP_LIST 17, 90, 143, 297
// The combo box's height is its dropped-down height.
#define LW_PLACE_ENTITY_COMBO 191, 50, 213, 328
#define LW_PLACE_FIND 417, 48, 50, 14
#define LW_PLACE_ENTITY_TEXT 191, 90, 332, 287
#define LW_PLACE_DELETE 417, 65, 50, 14
#define LW_PLACE_DELETE_ALL 473, 65, 50, 14
#define LW_PLACE_SAVE 417, 27, 50, 14
#define LW_PLACE_EXIT 473, 27, 50, 14
#define LW_PLACE_MAP_FOLDER_LABEL 17, 36, 45, 8
#define LW_PLACE_MAP_STATUS 191, 76, 200, 8
#define LW_PLACE_SEARCH_LABEL 191, 38, 200, 8
#define LW_PLACE_MAPS_GROUP 6, 6, 166, 390
#define LW_PLACE_ENTITIES_GROUP 180, 7, 353, 389
#define LW_PLACE_FIND_NEXT 473, 48, 50, 14
#define LW_PLACE_MAP_FILES_LABEL 17, 76, 45, 8
#define LW_PLACE_FIND_FEEDBACK 191, 380, 332, 8
#define LW_PLACE_OUTLINE_GROUP 540, 7, 183, 389
#define LW_PLACE_OUTLINE_FILTER 548, 20, 167, 12
#define LW_PLACE_OUTLINE 548, 36, 167, 190
#define LW_PLACE_OUTLINE_COUNTS 548, 229, 167, 26
#define LW_PLACE_PROBLEMS_LABEL 548, 258, 167, 8
#define LW_PLACE_PROBLEMS 548, 268, 167, 120

#define LW_ABOUT_WIDTH 235
#define LW_ABOUT_HEIGHT 55
#define LW_PLACE_ABOUT_ICON 11, 17, 20, 20
#define LW_PLACE_ABOUT_NAME 40, 10, 119, 8
#define LW_PLACE_ABOUT_NOTICE 40, 25, 181, 8
#define LW_PLACE_ABOUT_OK 178, 7, 50, 14

#ifndef RC_INVOKED

#include <array>

namespace lw {

// What a control does when the window grows by (textGrowth + outlineGrowth,
// heightGrowth) pixels over its template size (a negative height growth: the
// window is lower). The text's column takes textGrowth, the outline's column
// moves right by it and takes outlineGrowth; the map list's column keeps its
// width.
enum class Grow {
  kNone,         // stays where the template puts it
  kTall,         // the map list and its group
  kWideTall,     // the text and its group
  kWideDown,     // the line under the text
  kOutline,      // the outline's filter: moves right
  kOutlineTall,  // the outline's rows and its group
  kOutlineDown,  // the counts and the problems, under the rows
};

struct ControlPlace {
  int x;
  int y;
  int width;
  int height;
  Grow grow = Grow::kNone;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// `templateRect`, the control's place in pixels at the template's size,
// moved and stretched as its `grow` says.
constexpr PixelRect Grown(PixelRect templateRect, Grow grow, int textGrowth, int outlineGrowth, int heightGrowth) {
  PixelRect rect = templateRect;
  switch (grow) {
    case Grow::kNone: break;
    case Grow::kTall: rect.height += heightGrowth; break;
    case Grow::kWideTall:
      rect.width += textGrowth;
      rect.height += heightGrowth;
      break;
    case Grow::kWideDown:
      rect.width += textGrowth;
      rect.y += heightGrowth;
      break;
    case Grow::kOutline:
    case Grow::kOutlineTall:
    case Grow::kOutlineDown:
      rect.x += textGrowth;
      rect.width += outlineGrowth;
      if (grow == Grow::kOutlineTall) rect.height += heightGrowth;
      if (grow == Grow::kOutlineDown) rect.y += heightGrowth;
      break;
  }
  return rect;
}

inline constexpr ControlPlace kPlaceMapFolder{LW_PLACE_MAP_FOLDER};
inline constexpr ControlPlace kPlaceBrowse{LW_PLACE_BROWSE};
inline constexpr ControlPlace kPlaceMapFilter{LW_PLACE_MAP_FILTER};
inline constexpr ControlPlace kPlaceMapList{LW_PLACE_MAP_LIST, Grow::kTall};
inline constexpr ControlPlace kPlaceEntityCombo{LW_PLACE_ENTITY_COMBO};
inline constexpr ControlPlace kPlaceFind{LW_PLACE_FIND};
inline constexpr ControlPlace kPlaceEntityText{LW_PLACE_ENTITY_TEXT, Grow::kWideTall};
inline constexpr ControlPlace kPlaceDelete{LW_PLACE_DELETE};
inline constexpr ControlPlace kPlaceDeleteAll{LW_PLACE_DELETE_ALL};
inline constexpr ControlPlace kPlaceSave{LW_PLACE_SAVE};
inline constexpr ControlPlace kPlaceExit{LW_PLACE_EXIT};
inline constexpr ControlPlace kPlaceMapFolderLabel{LW_PLACE_MAP_FOLDER_LABEL};
inline constexpr ControlPlace kPlaceMapStatus{LW_PLACE_MAP_STATUS};
inline constexpr ControlPlace kPlaceSearchLabel{LW_PLACE_SEARCH_LABEL};
inline constexpr ControlPlace kPlaceMapsGroup{LW_PLACE_MAPS_GROUP, Grow::kTall};
inline constexpr ControlPlace kPlaceEntitiesGroup{LW_PLACE_ENTITIES_GROUP, Grow::kWideTall};
inline constexpr ControlPlace kPlaceFindNext{LW_PLACE_FIND_NEXT};
inline constexpr ControlPlace kPlaceMapFilesLabel{LW_PLACE_MAP_FILES_LABEL};
inline constexpr ControlPlace kPlaceFindFeedback{LW_PLACE_FIND_FEEDBACK, Grow::kWideDown};
inline constexpr ControlPlace kPlaceOutlineGroup{LW_PLACE_OUTLINE_GROUP, Grow::kOutlineTall};
inline constexpr ControlPlace kPlaceOutlineFilter{LW_PLACE_OUTLINE_FILTER, Grow::kOutline};
inline constexpr ControlPlace kPlaceOutline{LW_PLACE_OUTLINE, Grow::kOutlineTall};
inline constexpr ControlPlace kPlaceOutlineCounts{LW_PLACE_OUTLINE_COUNTS, Grow::kOutlineDown};
inline constexpr ControlPlace kPlaceProblemsLabel{LW_PLACE_PROBLEMS_LABEL, Grow::kOutlineDown};
inline constexpr ControlPlace kPlaceProblems{LW_PLACE_PROBLEMS, Grow::kOutlineDown};

inline constexpr ControlPlace kPlaceAboutIcon{LW_PLACE_ABOUT_ICON};
inline constexpr ControlPlace kPlaceAboutName{LW_PLACE_ABOUT_NAME};
inline constexpr ControlPlace kPlaceAboutNotice{LW_PLACE_ABOUT_NOTICE};
inline constexpr ControlPlace kPlaceAboutOk{LW_PLACE_ABOUT_OK};

// The main window's controls that move or stretch with it, by their IDs.
struct PlacedControl {
  int id;
  ControlPlace place;
};
inline constexpr std::array kMainGrowingControls = {
    PlacedControl{IDC_MAP_LIST, kPlaceMapList},
    PlacedControl{IDC_MAPS_GROUP, kPlaceMapsGroup},
    PlacedControl{IDC_ENTITY_TEXT, kPlaceEntityText},
    PlacedControl{IDC_ENTITIES_GROUP, kPlaceEntitiesGroup},
    PlacedControl{IDC_FIND_FEEDBACK, kPlaceFindFeedback},
    PlacedControl{IDC_OUTLINE_GROUP, kPlaceOutlineGroup},
    PlacedControl{IDC_OUTLINE_FILTER, kPlaceOutlineFilter},
    PlacedControl{IDC_OUTLINE, kPlaceOutline},
    PlacedControl{IDC_OUTLINE_COUNTS, kPlaceOutlineCounts},
    PlacedControl{IDC_PROBLEMS_LABEL, kPlaceProblemsLabel},
    PlacedControl{IDC_PROBLEMS, kPlaceProblems},
};

}  // namespace lw

#endif  // RC_INVOKED
