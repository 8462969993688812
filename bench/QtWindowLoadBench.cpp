// Loading a 2 MiB map of 20,000 blocks into the Linux window with the outline
// shown, against the same load with the outline cut off from the text, in the
// same run. With the outline, the load counts until the outline shows the new
// rows (the refresh the window runs once the text rests), then also the
// problems; each step followed by the repaints it causes.
//
// The program times itself. It runs on Qt's offscreen platform unless
// QT_QPA_PLATFORM says otherwise.
#include <Qsci/qsciscintilla.h>
#include <QApplication>
#include <QListWidget>

#include "WindowLoadBench.h"
#include "ui/MainWindowServices.h"
#include "ui/Resource.h"
#include "ui/qt/QtMainWindow.h"

namespace {

// The events the operation left, among them the repaints of what it changed.
void Settle() { QApplication::processEvents(); }

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  lw::bench::WindowSetting setting;
  const auto window = lw::CreateMainWindow<lw::qt::QtMainWindow>(setting.Services());
  Settle();
  auto* list = static_cast<QListWidget*>(window->Control(IDC_MAP_LIST));
  auto* text = static_cast<QsciScintilla*>(window->Control(IDC_ENTITY_TEXT));
  lw::qt::OutlinePanel& outline = *window->Outline();
  const auto choose = [&](const char* name) {
    list->setCurrentItem(list->findItems(QString::fromLatin1(name), Qt::MatchExactly).value(0));
  };

  const auto check = outline.check;
  std::vector<double> ms[lw::bench::kLoads];
  for (int i = 0; i < lw::bench::kRepetitions; ++i) {
    for (int load = 0; load < lw::bench::kLoads; ++load) {
      choose("small.bsp");
      outline.Refresh(window->Entities().LiveText());
      Settle();
      const bool shown = load != lw::bench::kTextOnly;
      if (!shown) QObject::disconnect(text, &QsciScintilla::textChanged, &outline, &lw::qt::OutlinePanel::TextChanged);
      if (load == lw::bench::kWithOutline) outline.check = nullptr;
      ms[load].push_back(lw::bench::TimeMs([&] {
        choose("big.bsp");
        Settle();
        if (shown && outline.RefreshPending()) {
          outline.Refresh(window->Entities().LiveText());
          Settle();
        }
      }));
      if (!shown) QObject::connect(text, &QsciScintilla::textChanged, &outline, &lw::qt::OutlinePanel::TextChanged);
      outline.check = check;
    }
  }
  const size_t rows = static_cast<size_t>(outline.Model().rowCount());
  if (setting.messages.Failed() || rows < 20000) {
    std::fprintf(stderr, "the big map did not load into the outline (%zu rows)\n", rows);
    return 1;
  }
  return lw::bench::Report("Linux", ms, rows);
}
