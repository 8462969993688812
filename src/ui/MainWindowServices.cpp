#include "ui/MainWindowServices.h"

#include "platform/CodePage.h"
#include "platform/CommandLine.h"
#include "platform/Paths.h"

namespace lw {

CEntityEditorDlg::Options MainWindowServices::EditorOptions() const {
  return {commandLine, entityDumpPath.IsEmpty() ? EntityDumpPath() : entityDumpPath};
}

void InitProcessState(int argc, const char* const* argv) {
  CodePage::SetActive(SystemCodePage());
  SetCommandLine(argc, argv);
}

}  // namespace lw
