#pragma once

#include <QWidget>
#include <vector>

class QAction;
class QGridLayout;
class QLabel;

namespace velmora {

class RibbonButton;

// A group of ribbon buttons with its caption underneath. Large, the buttons stand side by side
// with their 32 pixel pictures; compact, they stack three to a column with the small ones.
class RibbonPanel : public QWidget {
    Q_OBJECT

  public:
    explicit RibbonPanel(const QString& caption, QWidget* parent = nullptr);

    RibbonButton* AddButton(QAction* action);
    [[nodiscard]] const std::vector<RibbonButton*>& Buttons() const { return buttons_; }
    [[nodiscard]] QString Caption() const;

    void SetCompact(bool compact);
    [[nodiscard]] bool IsCompact() const { return compact_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Relayout();

    QGridLayout* buttonGrid_;
    QLabel* caption_;
    std::vector<RibbonButton*> buttons_;
    bool compact_ = false;
};

}  // namespace velmora
