#include <QApplication>

#include "ui/qt/CEntityEditorDlg.h"

int main(int argc, char** argv) {
  // The command line as given, before Qt takes its own options out of it.
  lw::qt::InitProcessState(argc, argv);
  QApplication application(argc, argv);
  return lw::qt::RunMainWindow();
}
