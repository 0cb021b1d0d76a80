#pragma once

#include <QWidget>
#include <vector>

class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace velmora {

class RibbonButton;
class RibbonCategory;

// The command surface at the top of the main window: a tab row that starts with the application
// button (which opens the application menu) and names the categories, and under it the panels of
// the chosen category.
class RibbonBar : public QWidget {
    Q_OBJECT

  public:
    explicit RibbonBar(QWidget* parent = nullptr);

    // The application button shows a picture without a caption and opens the menu; the menu
    // stays the bar's.
    void SetApplicationButton(const QIcon& icon, const QString& toolTip, QMenu* menu);
    [[nodiscard]] QToolButton* ApplicationButton() const { return appButton_; }
    [[nodiscard]] QMenu* ApplicationMenu() const { return appMenu_; }

    RibbonCategory* AddCategory(const QString& name);
    [[nodiscard]] const std::vector<RibbonCategory*>& Categories() const { return categories_; }
    [[nodiscard]] RibbonCategory* ActiveCategory() const;
    [[nodiscard]] QTabBar* TabRow() const { return tabs_; }
    // Every button of every category, in order.
    [[nodiscard]] std::vector<RibbonButton*> AllButtons() const;

  protected:
    // A right click on the ribbon (at pos, in global coordinates, over the button hit or none).
    // True when the click was dealt with; otherwise the window below may offer its own menu.
    virtual bool OnShowRibbonContextMenu(QWidget* window, QPoint pos, RibbonButton* hit);

    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QToolButton* appButton_;
    QMenu* appMenu_ = nullptr;
    QTabBar* tabs_;
    QStackedWidget* pages_;
    std::vector<RibbonCategory*> categories_;
};

}  // namespace velmora
