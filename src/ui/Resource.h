// The main window's and the About box's resource IDs, texts and the program's
// version, written once for every front end: the Windows resource script
// includes this file, and so do the windows' code and the Linux window.
//
// The resource compiler reads the first part, so it holds preprocessor macros
// only; the C++ part at the end is hidden from it.
#pragma once

// The version comes from the build (the project's version in CMake).
#if !defined(LUMPWRIGHT_VERSION_MAJOR) || !defined(LUMPWRIGHT_VERSION_MINOR) || !defined(LUMPWRIGHT_VERSION_PATCH)
#error "The build passes LUMPWRIGHT_VERSION_MAJOR, _MINOR and _PATCH"
#endif
#define LUMPWRIGHT_VERSION_BUILD 0

#define LW_STRINGIZE_(x) #x
#define LW_STRINGIZE(x) LW_STRINGIZE_(x)

// "1, 3, 0, 0": the form the version resource's strings take.
#define LW_VERSION_MAJOR_TEXT LW_STRINGIZE(LUMPWRIGHT_VERSION_MAJOR)
#define LW_VERSION_MINOR_TEXT LW_STRINGIZE(LUMPWRIGHT_VERSION_MINOR)
#define LW_VERSION_PATCH_TEXT LW_STRINGIZE(LUMPWRIGHT_VERSION_PATCH)
#define LW_VERSION_BUILD_TEXT LW_STRINGIZE(LUMPWRIGHT_VERSION_BUILD)
#define LW_VERSION_COMMA_TEXT \
  LW_VERSION_MAJOR_TEXT ", " LW_VERSION_MINOR_TEXT ", " LW_VERSION_PATCH_TEXT ", " LW_VERSION_BUILD_TEXT

// Dialogs, strings, menu commands, icons.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDM_ABOUTBOX 0x0010
#define IDR_MAINFRAME 128

// The main window's controls (IDOK, 1, is its Exit button).
#define IDC_STATIC (-1)
#define IDC_DELETE 3
#define IDC_BROWSE 4
#define IDC_DELETE_ALL 5
#define IDC_FIND 6
#define IDC_FIND_NEXT 7
#define IDC_MAP_LIST 1000
#define IDC_ENTITY_TEXT 1001
#define IDC_MAP_FOLDER 1002
#define IDC_ENTITY_COMBO 1003
#define IDC_SAVE 1005
#define IDC_MAP_STATUS 1006
#define IDC_FIND_FEEDBACK 1007
// F5's command: the folder listed again (no control of its own).
#define IDC_REFRESH_MAPS 1008
// The outline beside the text: its filter field and its rows.
#define IDC_OUTLINE_FILTER 1009
#define IDC_OUTLINE 1010
#define IDC_OUTLINE_COUNTS 1011
// What the save's check finds in the text.
#define IDC_PROBLEMS 1012
#define IDC_PROBLEMS_LABEL 1013
// The map list's filter field.
#define IDC_MAP_FILTER 1014
// The group boxes, which grow with the window.
#define IDC_MAPS_GROUP 1015
#define IDC_ENTITIES_GROUP 1016
#define IDC_OUTLINE_GROUP 1017

// The type of a dialog's initialisation data (the search box's class names),
// and its one command: add a string to a combo box.
#define LW_RT_DLGINIT 240
#define LW_DLGINIT_CB_ADDSTRING 0x0403

// The main window's texts.
#define LW_TEXT_MAIN_CAPTION "Lumpwright"
// F1, when there is no help to show.
#define LW_TEXT_HELP_FAILED "Failed to launch help."
#define LW_TEXT_BROWSE "&Browse"
#define LW_TEXT_FIND "&Find"
#define LW_TEXT_DELETE "&Delete"
#define LW_TEXT_DELETE_ALL "Delete &All"
#define LW_TEXT_SAVE "&Save"
#define LW_TEXT_EXIT "E&xit"
#define LW_TEXT_FIND_NEXT "Find &Next"
#define LW_TEXT_MAP_FOLDER "Map Folder:"
#define LW_TEXT_MAP_STATUS "No Map Loaded"
#define LW_TEXT_SEARCH_LABEL "Entity to Search for:"
#define LW_TEXT_MAPS_GROUP "Maps"
#define LW_TEXT_ENTITIES_GROUP "Entities"
#define LW_TEXT_MAP_FILES "Map Files:"
#define LW_TEXT_OUTLINE_GROUP "Outline"
#define LW_TEXT_PROBLEMS_LABEL "Problems"

// The About box and its system-menu entry.
#define LW_TEXT_ABOUT_MENU "&About Lumpwright..."
#define LW_TEXT_ABOUT_CAPTION "About Lumpwright"
#define LW_TEXT_ABOUT_NAME "Lumpwright "
#define LW_TEXT_ABOUT_NOTICE "Copyright (C) 2026 Quellmoor"
#define LW_TEXT_ABOUT_OK "OK"

// The version resource's strings.
#define LW_VERSION_COMPANY "Quellmoor"
#define LW_VERSION_DESCRIPTION "Lumpwright - Entity editor for bsp files."
#define LW_VERSION_INTERNAL_NAME "Lumpwright"
#define LW_VERSION_PRODUCT_NAME "Lumpwright"
#define LW_VERSION_FILE_NAME "Lumpwright.exe"

#ifndef RC_INVOKED

namespace lw {

inline constexpr int kVersionMajor = LUMPWRIGHT_VERSION_MAJOR;
inline constexpr int kVersionMinor = LUMPWRIGHT_VERSION_MINOR;
inline constexpr int kVersionPatch = LUMPWRIGHT_VERSION_PATCH;
inline constexpr int kVersionBuild = LUMPWRIGHT_VERSION_BUILD;
inline constexpr const char* kVersionCommaText = LW_VERSION_COMMA_TEXT;

}  // namespace lw

#endif  // RC_INVOKED
