#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "view/selection_masks.h"
#include "view/velmora_view.h"

namespace velmora::test {

inline constexpr QRgb kGrey = 0xFF808080;
inline constexpr QRgb kWhite = 0xFFFFFFFF;
inline constexpr QRgb kBlack = 0xFF000000;
inline constexpr QRgb kRed = 0xFFFF0000;

inline QImage UniformPicture(int width, int height, QRgb colour = kGrey) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// Every pixel tells where it is: red = x, green = y (pictures up to 256 pixels a side).
inline QImage CoordinatePicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, qRgb(x, y, 100));
    return picture;
}

// One document and its canvas, driven by synthetic input the way the window system would.
class Canvas {
  public:
    Canvas() : view_(std::make_unique<CVelmoraView>(doc_)) {}
    ~Canvas() { view_.reset(); }

    CVelmoraDoc& doc() { return doc_; }
    CVelmoraView& view() { return *view_; }
    QWidget* viewport() { return view_->viewport(); }

    // Saves the picture as a file and opens it through the document, as a user would.
    bool Open(const QImage& picture, const QString& name = QStringLiteral("picture.png")) {
        const QString path = dir_.filePath(name);
        return picture.save(path) && doc_.OnOpenDocument(path);
    }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

    // Shows the canvas with a client area of exactly `client` pixels. The scroll bars keep their
    // ranges but are not shown: the client keeps its size, and the style's painting of the bars
    // (on Qt's own worker threads) stays out of the sanitizer runs.
    void Show(QSize client) {
        view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->resize(client);
        view_->show();
        QApplication::processEvents();
    }

    void Command(int id) { QVERIFY(doc_.Commands().Deliver(id)); }
    // Zoom steps from 1: +1 = 1.5, +2 = 2, +3 = 4; -1 = 0.75, -2 = 0.5.
    void Zoom(int steps) {
        for (int i = 0; i < std::abs(steps); ++i)
            Command(steps > 0 ? ID_VIEW_ZOOM_IN : ID_VIEW_ZOOM_OUT);
    }
    void ScrollTo(QPoint position) {
        view_->horizontalScrollBar()->setValue(position.x());
        view_->verticalScrollBar()->setValue(position.y());
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(at), viewport()->mapToGlobal(QPointF(at)), button, buttons,
                          modifiers);
        QApplication::sendEvent(viewport(), &event);
    }
    void Press(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
    }
    void Release(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    void Click(QPoint at) {
        Press(at);
        Release(at);
    }
    void DoubleClickSecondHalf(QPoint at) {
        Mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
        Release(at);
    }
    void Move(QPoint at, Qt::MouseButtons buttons = Qt::NoButton,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseMove, at, Qt::NoButton, buttons, modifiers);
    }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Press(from, modifiers);
        Move(to, Qt::LeftButton, modifiers);
        Release(to, modifiers);
    }
    void RightPress(QPoint at) {
        Mouse(QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        Mouse(QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }
    void Key(Qt::Key key) { QTest::keyClick(view_.get(), key); }

    // A rectangle outline dragged with the rectangle tool, in client pixels.
    void DragRectangle(QPoint from, QPoint to) {
        Command(ID_TOOL_RECTANGLE);
        Drag(from, to);
    }
    // A polygon clicked point by point and closed by a click on its start.
    void ClickPolygon(std::initializer_list<QPoint> corners) {
        for (const QPoint& corner : corners) {
            Move(corner);
            Click(corner);
        }
        Move(*corners.begin());
        Click(*corners.begin());
    }

    // Opaque pixels read the same in the backing store's own format.
    QImage Render() { return viewport()->grab().toImage(); }
    Qt::CursorShape Cursor() { return viewport()->cursor().shape(); }

    // Keeps a picture of the canvas under the build folder for a person to look at.
    void Screenshot(const QString& name) {
        const QDir dir(QStringLiteral(VELMORA_SCREENSHOT_DIR));
        dir.mkpath(QStringLiteral("."));
        Render().save(dir.filePath(QStringLiteral("canvas-%1.png").arg(name)));
    }

    std::vector<GridPoint> Points() {
        const auto points = doc_.Selection().Points();
        return {points.begin(), points.end()};
    }

  private:
    QTemporaryDir dir_;
    CVelmoraDoc doc_;
    std::unique_ptr<CVelmoraView> view_;
};

inline int CountPixels(const QImage& image, QRgb colour, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == colour) ++count;
    return count;
}

inline int CountMask(const ByteGrid& mask, std::uint8_t value) {
    return static_cast<int>(std::count(mask.begin(), mask.end(), value));
}

}  // namespace velmora::test

// Readable failures for the types the canvas tests compare.
namespace QTest {
template <>
inline char* toString(const velmora::FillRect& r) {
    return qstrdup(QByteArray::number(r.x) + ", " + QByteArray::number(r.y) + ", " +
                   QByteArray::number(r.width) + ", " + QByteArray::number(r.height));
}
template <>
inline char* toString(const velmora::ViewRect& r) {
    return qstrdup(QByteArray::number(r.left) + ", " + QByteArray::number(r.top) + ", " +
                   QByteArray::number(r.right) + ", " + QByteArray::number(r.bottom));
}
template <>
inline char* toString(const velmora::GridPoint& p) {
    return qstrdup(QByteArray::number(p.x) + ", " + QByteArray::number(p.y));
}
}  // namespace QTest
