// Qt's own texts in the program's language, whatever the system's locale.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "platform/interface_language.h"
#include "platform/message_boxes.h"
#include "qt_test_app.h"

namespace velmora {
namespace {

bool HasChinese(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
    return false;
}

class InterfaceLanguage : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // The test's own locale would hide a default that was never set.
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(UseChineseInterface(*QCoreApplication::instance()))
            << "Qt's Chinese translations are missing (qt6-translations-l10n)";
    }
};

TEST_F(InterfaceLanguage, StandardButtonsOfABoxAreChinese) {
    const auto box = MakeMessageBox(
        nullptr, QMessageBox::Question, QStringLiteral("Velmora"), QStringLiteral("x"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
    EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
}

TEST_F(InterfaceLanguage, DatesAndQtsOwnMessagesAreChinese) {
    const QString date = QLocale().toString(QDate(2026, 3, 4), QLocale::LongFormat);
    EXPECT_TRUE(date.contains(QStringLiteral("年"))) << date.toStdString();
    // The open dialog's own complaint about a name that is not there.
    const QString notFound = QCoreApplication::translate(
        "QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.");
    EXPECT_TRUE(HasChinese(notFound)) << notFound.toStdString();
}

TEST_F(InterfaceLanguage, BoxesLeaveRoomForTheirTitle) {
    const QString title = QStringLiteral("Velmora");
    const auto box = MakeMessageBox(nullptr, QMessageBox::Critical, title, QStringLiteral("短"),
                                    QMessageBox::Ok);
    box->show();
    QApplication::processEvents();
    EXPECT_GE(box->width(), MinimumMessageBoxWidth(title));
    EXPECT_GE(MinimumMessageBoxWidth(title), box->fontMetrics().horizontalAdvance(title) + 100)
        << "the title bar's buttons need room beside the title";
    box->hide();
}

}  // namespace
}  // namespace velmora
