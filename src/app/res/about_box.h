#pragma once

#include <QRect>
#include <QSize>
#include <vector>

namespace velmora {

// A dialog laid out in dialog units: a quarter of the font's average character width across,
// an eighth of its height down.
struct DialogControl {
    enum class Kind { DefaultButton, Icon, Text, LinkButton };
    int id;  // 0 for controls nobody addresses
    Kind kind;
    const char* text;
    QRect units;
};

struct DialogTemplate {
    const char* caption;
    QSize units;
    std::vector<DialogControl> controls;
};

// Dialog 100, the About box.
const DialogTemplate& AboutBoxTemplate();

// Where the About box's links lead.
inline constexpr char kProductWebPage[] = "https://velmora.halvard.example/";
inline constexpr char kSupportMail[] = "mailto:support@halvard.example";

}  // namespace velmora
