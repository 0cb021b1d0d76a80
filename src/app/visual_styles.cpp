#include "app/visual_styles.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include "platform/command_ids.h"

namespace velmora {

namespace {

struct Colours {
    const char* window;
    const char* button;
    const char* windowText;
    const char* base;
    const char* text;
    const char* highlight;
    const char* highlightedText;
};

QPalette MakePalette(const Colours& c) {
    QPalette palette(QColor(c.button), QColor(c.window));
    const QColor windowText(c.windowText);
    palette.setColor(QPalette::WindowText, windowText);
    palette.setColor(QPalette::ButtonText, windowText);
    palette.setColor(QPalette::Base, QColor(c.base));
    palette.setColor(QPalette::AlternateBase, QColor(c.base).darker(104));
    palette.setColor(QPalette::Text, QColor(c.text));
    palette.setColor(QPalette::ToolTipBase, QColor(c.base));
    palette.setColor(QPalette::ToolTipText, QColor(c.text));
    palette.setColor(QPalette::PlaceholderText, QColor(c.text).lighter(160));
    palette.setColor(QPalette::Highlight, QColor(c.highlight));
    palette.setColor(QPalette::HighlightedText, QColor(c.highlightedText));
    palette.setColor(QPalette::Link, QColor(c.highlight).darker(120));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Mid));
    return palette;
}

Colours ColoursFor(int id) {
    switch (id) {
        case ID_VIEW_APPLOOK_WIN_2000:  // classic grey with a navy selection
            return {"#d4d0c8", "#d4d0c8", "#000000", "#ffffff", "#000000", "#0a246a", "#ffffff"};
        case ID_VIEW_APPLOOK_OFF_XP:  // pale with a light blue-grey selection
            return {"#f2f1ed", "#fbfaf7", "#000000", "#ffffff", "#000000", "#b6bdd2", "#000000"};
        case ID_VIEW_APPLOOK_WIN_XP:  // beige with a bright blue selection
            return {"#ece9d8", "#f4f3ee", "#000000", "#ffffff", "#000000", "#316ac5", "#ffffff"};
        case ID_VIEW_APPLOOK_OFF_2003:  // blue bars with an orange selection
            return {"#c3daf9", "#e3effd", "#00156e", "#ffffff", "#000000", "#f8b048", "#000000"};
        case ID_VIEW_APPLOOK_VS_2005:  // warm grey with a steel-blue selection
            return {"#e0dfe3", "#f5f4f2", "#000000", "#ffffff", "#000000", "#3e6db5", "#ffffff"};
        case ID_VIEW_APPLOOK_OFF_2007_BLACK:
            return {"#535353", "#6a6a6a", "#ffffff", "#2f2f2f", "#f0f0f0", "#f0a030", "#000000"};
        case ID_VIEW_APPLOOK_OFF_2007_SILVER:
            return {"#d0d4dd", "#eceef2", "#2e3440", "#ffffff", "#000000", "#7a8aa6", "#ffffff"};
        case ID_VIEW_APPLOOK_OFF_2007_AQUA:
            return {"#bcd7dc", "#e2f0f2", "#1e4a56", "#ffffff", "#000000", "#3b8f9b", "#ffffff"};
        case ID_VIEW_APPLOOK_OFF_2007_BLUE:
        default:
            return {"#bfdbff", "#e4efff", "#15428b", "#ffffff", "#000000", "#3a78c9", "#ffffff"};
    }
}

QString StyleFor(int id) {
    // The two looks of the old desktop's own controls get Qt's Windows style where it exists.
    const bool classic = id == ID_VIEW_APPLOOK_WIN_2000 || id == ID_VIEW_APPLOOK_WIN_XP;
    const QString wanted = classic ? QStringLiteral("Windows") : QStringLiteral("Fusion");
    return QStyleFactory::keys().contains(wanted, Qt::CaseInsensitive) ? wanted
                                                                       : QStringLiteral("Fusion");
}

}  // namespace

Look LookFor(int styleId, int office2007Colour) {
    const int id = IsVisualStyle(styleId) ? styleId : office2007Colour;
    return {StyleFor(id), MakePalette(ColoursFor(id))};
}

void VisualStyles::Apply(int styleId) {
    if (styleId >= ID_VIEW_APPLOOK_OFF_2007_BLUE && styleId <= ID_VIEW_APPLOOK_OFF_2007_AQUA)
        office2007Colour_ = styleId;
    const Look look = LookFor(styleId, office2007Colour_);
    if (QApplication::style() == nullptr ||
        QApplication::style()->name().compare(look.styleName, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(look.styleName);
    QApplication::setPalette(look.palette);
}

}  // namespace velmora
