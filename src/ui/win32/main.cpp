#include <windows.h>

#include "ui/win32/CEntityEditorApp.h"

namespace {

lw::win32::CEntityEditorApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  theApp.InitInstance();
  return 0;
}
