#pragma once

#include <QToolButton>

class QAction;

namespace velmora {

// A ribbon button bound to a command's action: it takes the action's text, picture, tooltip,
// enabled and checked state, and triggers it when clicked. Large buttons show the 32 pixel
// picture above the text, small ones the 16 pixel picture beside it.
class RibbonButton : public QToolButton {
    Q_OBJECT

  public:
    RibbonButton(QAction* action, QWidget* parent = nullptr);

    void SetLarge(bool large);
    [[nodiscard]] bool IsLarge() const { return large_; }
    // The command the button sends.
    [[nodiscard]] int CommandId() const;

  private:
    bool large_ = true;
};

}  // namespace velmora
