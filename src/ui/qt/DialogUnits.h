#pragma once

#include <QRect>

#include "ui/MainLayout.h"

class QWidget;

namespace lw::qt {

// Dialog units of a window's font, as the templates give positions in: a
// quarter of the average character width across, an eighth of the character
// height down.
class DialogUnits {
 public:
  explicit DialogUnits(const QWidget& window);

  [[nodiscard]] int X(int units) const { return Scale(units, charWidth_, 4); }
  [[nodiscard]] int Y(int units) const { return Scale(units, charHeight_, 8); }
  [[nodiscard]] QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }
  [[nodiscard]] QRect Rect(const ControlPlace& place) const {
    return Rect(place.x, place.y, place.width, place.height);
  }

 private:
  // units * size / divisor, rounded to the nearest pixel.
  static int Scale(int units, int size, int divisor) { return (units * size + divisor / 2) / divisor; }

  int charWidth_ = 0;
  int charHeight_ = 0;
};

}  // namespace lw::qt
