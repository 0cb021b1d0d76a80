#pragma once

#include <QWidget>
#include <vector>

class QHBoxLayout;

namespace velmora {

class RibbonPanel;

// One tab of the ribbon: panels side by side. When the window is too narrow for every panel at
// full size, panels turn compact from the right.
class RibbonCategory : public QWidget {
    Q_OBJECT

  public:
    explicit RibbonCategory(const QString& name, QWidget* parent = nullptr);

    RibbonPanel* AddPanel(const QString& caption);
    [[nodiscard]] const std::vector<RibbonPanel*>& Panels() const { return panels_; }
    [[nodiscard]] QString Name() const { return name_; }

    // Picks the largest panels that fit the given width.
    void FitToWidth(int width);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QString name_;
    QHBoxLayout* row_;
    std::vector<RibbonPanel*> panels_;
};

}  // namespace velmora
