#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>

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
