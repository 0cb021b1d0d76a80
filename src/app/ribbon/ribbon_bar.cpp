#include "app/ribbon/ribbon_bar.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ribbon/application_button.h"
#include "app/ribbon/ribbon_button.h"
#include "app/ribbon/ribbon_category.h"
#include "app/ribbon/ribbon_panel.h"

namespace velmora {

namespace {

constexpr int kTabRowHeight = 30;
constexpr int kAppButtonWidth = 45;
constexpr int kPanelAreaHeight = 96;

RibbonButton* ButtonAt(QWidget* bar, QPoint pos) {
    for (QWidget* child = bar->childAt(pos); child != nullptr; child = child->parentWidget())
        if (auto* button = qobject_cast<RibbonButton*>(child)) return button;
    return nullptr;
}

}  // namespace

RibbonBar::RibbonBar(QWidget* parent)
    : QWidget(parent),
      appButton_(new velmora::ApplicationButton),
      tabs_(new QTabBar),
      pages_(new QStackedWidget) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* tabRow = new QHBoxLayout;
    tabRow->setContentsMargins(2, 2, 2, 0);
    tabRow->setSpacing(6);
    appButton_->setFixedSize(kAppButtonWidth, kTabRowHeight - 2);
    appButton_->setObjectName(QStringLiteral("ribbonApplicationButton"));
    tabRow->addWidget(appButton_);
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    tabs_->setFocusPolicy(Qt::NoFocus);
    tabRow->addWidget(tabs_, 0, Qt::AlignBottom);
    tabRow->addStretch(1);
    column->addLayout(tabRow);

    pages_->setFixedHeight(kPanelAreaHeight);
    column->addWidget(pages_);
    connect(tabs_, &QTabBar::currentChanged, pages_, &QStackedWidget::setCurrentIndex);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void RibbonBar::SetApplicationButton(const QIcon& icon, const QString& toolTip, QMenu* menu) {
    appButton_->setIcon(icon);
    appButton_->setToolTip(toolTip);
    if (menu != nullptr) menu->setParent(this, menu->windowFlags());
    appMenu_ = menu;
    appButton_->setMenu(menu);
}

RibbonCategory* RibbonBar::AddCategory(const QString& name) {
    auto* category = new RibbonCategory(name);
    pages_->addWidget(category);
    tabs_->addTab(name);
    categories_.push_back(category);
    return category;
}

RibbonCategory* RibbonBar::ActiveCategory() const {
    const int index = pages_->currentIndex();
    return index < 0 ? nullptr : categories_[static_cast<std::size_t>(index)];
}

std::vector<RibbonButton*> RibbonBar::AllButtons() const {
    std::vector<RibbonButton*> buttons;
    for (const RibbonCategory* category : categories_)
        for (const RibbonPanel* panel : category->Panels())
            buttons.insert(buttons.end(), panel->Buttons().begin(), panel->Buttons().end());
    return buttons;
}

bool RibbonBar::OnShowRibbonContextMenu(QWidget*, QPoint, RibbonButton*) {
    return false;
}

void RibbonBar::contextMenuEvent(QContextMenuEvent* event) {
    if (OnShowRibbonContextMenu(window(), event->globalPos(), ButtonAt(this, event->pos())))
        event->accept();
    else
        event->ignore();
}

void RibbonBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const int tabBottom = pages_->geometry().top();
    // Tab row: a band of the window colour, darker than the panels.
    QLinearGradient tabBand(0, 0, 0, tabBottom);
    tabBand.setColorAt(0.0, colours.color(QPalette::Window).lighter(104));
    tabBand.setColorAt(1.0, colours.color(QPalette::Window).darker(106));
    painter.fillRect(QRect(0, 0, width(), tabBottom), tabBand);
    // Panel area: the button colour at the top, fading into the window colour.
    QLinearGradient panels(0, tabBottom, 0, height());
    panels.setColorAt(0.0, colours.color(QPalette::Button));
    panels.setColorAt(1.0, colours.color(QPalette::Window));
    painter.fillRect(QRect(0, tabBottom, width(), height() - tabBottom), panels);
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}

}  // namespace velmora
