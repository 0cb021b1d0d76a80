#include "ribbon_status_bar.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QStyle>

namespace velmora {

RibbonStatusBar::RibbonStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    // An empty, invisible strut as tall as the tallest element: the bar is as high before a
    // fill as during it, so the canvas above it does not move when the elements come and go.
    auto* const strut = new QWidget(this);
    strut->setObjectName(QStringLiteral("heightStrut"));
    strut->setFixedSize(0, kElementHeight);
    strut->setAttribute(Qt::WA_TransparentForMouseEvents);
    addPermanentWidget(strut);
    KeepStyleMargin();
}

void RibbonStatusBar::changeEvent(QEvent* event) {
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::StyleChange) KeepStyleMargin();
}

void RibbonStatusBar::KeepStyleMargin() {
    const int margin = style()->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, this);
    setContentsMargins(0, 0, margin, 0);
}

void RibbonStatusBar::AddDynamicElement(int id, std::unique_ptr<QWidget> element) {
    if (!element) return;
    RemoveElement(id);
    QWidget* const widget = element.release();
    addPermanentWidget(widget);  // the bar is its parent from here on
    elements_.emplace(id, widget);
}

QWidget* RibbonStatusBar::FindElement(int id) const {
    const auto found = elements_.find(id);
    return found == elements_.end() ? nullptr : found->second;
}

QLabel* RibbonStatusBar::FindLabel(int id) const {
    return qobject_cast<QLabel*>(FindElement(id));
}

QProgressBar* RibbonStatusBar::FindProgressBar(int id) const {
    return qobject_cast<QProgressBar*>(FindElement(id));
}

bool RibbonStatusBar::RemoveElement(int id) {
    const auto found = elements_.find(id);
    if (found == elements_.end()) return false;
    const std::unique_ptr<QWidget> element(found->second);
    elements_.erase(found);
    removeWidget(element.get());
    return true;
}

void RibbonStatusBar::RecalcLayout() {
    if (layout() != nullptr) {
        layout()->invalidate();
        layout()->activate();
    }
    updateGeometry();
}

void RibbonStatusBar::RepaintNow() {
    update();
    repaint();
}

std::unique_ptr<QLabel> MakeStatusLabel(const QString& text) {
    auto label = std::make_unique<QLabel>(text);
    label->setWordWrap(false);
    label->setTextFormat(Qt::PlainText);
    return label;
}

std::unique_ptr<QProgressBar> MakeStatusProgressBar(int width, int height, int minimum,
                                                    int maximum) {
    auto bar = std::make_unique<QProgressBar>();
    bar->setFixedSize(width, height);
    bar->setRange(minimum, maximum);
    bar->setValue(minimum);
    bar->setTextVisible(false);
    return bar;
}

}  // namespace velmora
