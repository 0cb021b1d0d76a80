#include "orientation.h"

#include <QTransform>

namespace velmora {

QImage UprightImage(const QImage& stored, int orientation) {
    // 2 to 4 only mirror; 5 to 8 also swap rows and columns, which is a quarter turn of the
    // mirrored picture (5, 7) or of the picture itself (6, 8).
    switch (orientation) {
        case 2:
            return stored.mirrored(true, false);
        case 3:
            return stored.mirrored(true, true);
        case 4:
            return stored.mirrored(false, true);
        case 5:
            return stored.mirrored(true, false).transformed(QTransform().rotate(270));
        case 6:
            return stored.transformed(QTransform().rotate(90));
        case 7:
            return stored.mirrored(true, false).transformed(QTransform().rotate(90));
        case 8:
            return stored.transformed(QTransform().rotate(270));
        default:
            return stored;
    }
}

}  // namespace velmora
