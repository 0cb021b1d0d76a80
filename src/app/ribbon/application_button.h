#pragma once

#include <QToolButton>

namespace velmora {

// The button at the ribbon's top left: a picture without a caption on a tab of the highlight
// colour. It opens the application menu on press.
class ApplicationButton : public QToolButton {
    Q_OBJECT

  public:
    explicit ApplicationButton(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace velmora
