#include "ui/qt/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

namespace lw::qt {

DialogUnits::DialogUnits(const QWidget& window) {
  const QFontMetrics metrics(window.font());
  // The average width over the 52 letters, rounded, as the system's dialogs
  // take it.
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  charWidth_ = (letters / 26 + 1) / 2;
  charHeight_ = metrics.height();
}

}  // namespace lw::qt
