#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// The single document type's description: seven fields separated by line breaks in string 128.
struct DocumentString {
    QString windowTitle;
    QString docName;
    QString fileNewName;
    QString filterName;
    QString filterExtensions;  // ".jpg;.bmp;..."
    QString regFileTypeId;
    QString regFileTypeName;

    // Parses the program's own document string.
    static DocumentString Load();
    static DocumentString Parse(const QString& text);

    // The extensions the filter matches, in order and with their dots: ".jpg", ".bmp", ...
    [[nodiscard]] QStringList Extensions() const;
    // The name filters of the open and save dialogs: the document's filter, then all files. The
    // patterns come last in parentheses, where the dialog reads them, and the dialog shows the
    // part before them.
    [[nodiscard]] QStringList DialogFilters() const;
    // The extension a name typed without one receives in the save dialog: "jpg".
    [[nodiscard]] QString DefaultSuffix() const;
};

}  // namespace velmora
