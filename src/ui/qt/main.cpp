#include <QApplication>

#include <cstdio>
#include <cstring>

#include "ui/qt/QtMainWindow.h"

int main(int argc, char** argv) {
  // Asked by a package check or a user in a terminal: answered without a window.
  if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    if (std::strcmp(argv[1], "--version") == 0) {
      std::printf("lumpwright %s\n", LUMPWRIGHT_VERSION_STRING);
    } else {
      std::printf(
          "usage: lumpwright [-d]\n\n"
          "Opens the entity editor for Half-Life BSP version 30 maps on the folder it\n"
          "used last. -d writes the text of every map loaded to ~/AllEntities.txt on exit.\n");
    }
    return 0;
  }
  // The command line as given, before Qt takes its own options out of it.
  lw::InitProcessState(argc, argv);
  QApplication application(argc, argv);
  return lw::RunMainWindow<lw::qt::QtMainWindow>();
}
