#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <memory>

#include "platform/message_boxes.h"
#include "platform/ribbon_status_bar.h"
#include "qt_test_app.h"

namespace velmora {
namespace {

TEST(RibbonStatusBar, ElementsAreFoundAndRemovedByIdentifier) {
    RibbonStatusBar bar;
    EXPECT_EQ(bar.ElementCount(), 0) << "a new bar is empty";
    bar.AddDynamicElement(120, MakeStatusLabel(QStringLiteral("准备就绪")));
    bar.AddDynamicElement(121, MakeStatusProgressBar(500, 22, 0, 100));
    bar.RecalcLayout();
    bar.RepaintNow();

    ASSERT_NE(bar.FindLabel(120), nullptr);
    EXPECT_EQ(bar.FindLabel(120)->text(), QStringLiteral("准备就绪"));
    EXPECT_EQ(bar.FindLabel(121), nullptr) << "the wrong kind is not returned";
    QProgressBar* progress = bar.FindProgressBar(121);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 100);
    EXPECT_EQ(progress->value(), 0);
    EXPECT_EQ(progress->size(), QSize(500, 22));
    EXPECT_EQ(progress->parent(), &bar);

    const QPointer<QWidget> label = bar.FindElement(120);
    EXPECT_TRUE(bar.RemoveElement(120));
    EXPECT_TRUE(label.isNull()) << "removing deletes the element";
    EXPECT_EQ(bar.FindElement(120), nullptr);
    EXPECT_FALSE(bar.RemoveElement(120));
    EXPECT_EQ(bar.ElementCount(), 1);
}

TEST(RibbonStatusBar, AddingUnderATakenIdentifierReplacesTheElement) {
    RibbonStatusBar bar;
    bar.AddDynamicElement(120, MakeStatusLabel(QStringLiteral("a")));
    const QPointer<QWidget> first = bar.FindElement(120);
    bar.AddDynamicElement(120, MakeStatusLabel(QStringLiteral("b")));
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(bar.FindLabel(120)->text(), QStringLiteral("b"));
    EXPECT_EQ(bar.ElementCount(), 1);
}

TEST(RibbonStatusBar, KeepsItsHeightAndARightMarginWhileElementsComeAndGo) {
    for (const char* styleName : {"Fusion", "Windows"}) {
        const std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(styleName)));
        ASSERT_NE(style, nullptr) << styleName;
        QMainWindow window;
        window.setStyle(style.get());
        auto* bar = new RibbonStatusBar;
        bar->setStyle(style.get());
        window.setStatusBar(bar);
        window.setCentralWidget(new QWidget);
        window.resize(800, 400);
        window.show();
        QApplication::processEvents();
        const int emptyHeight = bar->height();
        const int centralHeight = window.centralWidget()->height();

        bar->AddDynamicElement(120, MakeStatusLabel(QStringLiteral("正在处理...")));
        bar->AddDynamicElement(121,
                               MakeStatusProgressBar(500, RibbonStatusBar::kElementHeight, 0, 100));
        bar->RecalcLayout();
        QApplication::processEvents();
        EXPECT_EQ(bar->height(), emptyHeight) << styleName;
        EXPECT_EQ(window.centralWidget()->height(), centralHeight) << styleName;
        const QWidget* progress = bar->FindElement(121);
        const int margin = style->pixelMetric(QStyle::PM_LayoutRightMargin);
        ASSERT_GT(margin, 0) << styleName;
        EXPECT_LE(progress->geometry().right(), bar->width() - 1 - margin)
            << styleName << ": the bar keeps off the window's edge";

        bar->RemoveElement(121);
        bar->RemoveElement(120);
        bar->RecalcLayout();
        QApplication::processEvents();
        EXPECT_EQ(bar->height(), emptyHeight) << styleName;
    }
}

TEST(DialogMessageBoxes, NoticeGoesToTheStatusBarWithoutADialog) {
    QMainWindow window;
    auto* bar = new RibbonStatusBar;
    window.setStatusBar(bar);  // the window owns it
    DialogMessageBoxes messages(&window);
    messages.ShowNotice(QStringLiteral("converted"));
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("converted"));
}

}  // namespace
}  // namespace velmora
