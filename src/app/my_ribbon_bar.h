#pragma once

#include "app/ribbon/ribbon_bar.h"

namespace velmora {

// The program's ribbon: a right click anywhere on it opens no menu, so nobody customises it.
class CMyRibbonBar : public RibbonBar {
  public:
    using RibbonBar::RibbonBar;

  protected:
    bool OnShowRibbonContextMenu(QWidget*, QPoint, RibbonButton*) override { return true; }
};

}  // namespace velmora
