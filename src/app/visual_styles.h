#pragma once

#include <QPalette>
#include <QString>

namespace velmora {

// The nine looks of the program, named by their commands 210 to 218, as a Qt style and a palette.
// The four Office 2007 looks share one style and differ in colour.
struct Look {
    QString styleName;  // a key of QStyleFactory
    QPalette palette;
};

// The look of a style command; an identifier outside 210 to 218 gives the Office 2007 style in
// the given colour look (one of 215 to 218).
Look LookFor(int styleId, int office2007Colour);

[[nodiscard]] constexpr bool IsVisualStyle(int id) {
    return id >= 210 && id <= 218;
}

// Switches the whole application between the looks. Any value outside 210 to 218 keeps the
// Office 2007 style in its current colour, which starts as blue.
class VisualStyles {
  public:
    void Apply(int styleId);
    [[nodiscard]] int Office2007Colour() const { return office2007Colour_; }

  private:
    int office2007Colour_ = 215;
};

}  // namespace velmora
