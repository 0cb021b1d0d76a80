#include "app/ribbon/ribbon_category.h"

#include <QHBoxLayout>
#include <QResizeEvent>

#include "app/ribbon/ribbon_panel.h"

namespace velmora {

RibbonCategory::RibbonCategory(const QString& name, QWidget* parent)
    : QWidget(parent), name_(name), row_(new QHBoxLayout(this)) {
    row_->setContentsMargins(4, 3, 4, 3);
    row_->setSpacing(3);
    row_->addStretch(1);
    // The window decides the width; the panels adapt to it, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

RibbonPanel* RibbonCategory::AddPanel(const QString& caption) {
    auto* panel = new RibbonPanel(caption, this);
    row_->insertWidget(static_cast<int>(panels_.size()), panel);
    panels_.push_back(panel);
    return panel;
}

void RibbonCategory::FitToWidth(int width) {
    const auto needed = [this] {
        int total = row_->contentsMargins().left() + row_->contentsMargins().right();
        for (const RibbonPanel* panel : panels_)
            total += panel->sizeHint().width() + row_->spacing();
        return total;
    };
    for (RibbonPanel* panel : panels_) panel->SetCompact(false);
    for (auto panel = panels_.rbegin(); panel != panels_.rend() && needed() > width; ++panel)
        (*panel)->SetCompact(true);
}

void RibbonCategory::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) FitToWidth(event->size().width());
}

}  // namespace velmora
