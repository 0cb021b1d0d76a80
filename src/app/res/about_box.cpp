#include "app/res/about_box.h"

#include "app/res/resource_ids.h"

namespace velmora {

const DialogTemplate& AboutBoxTemplate() {
    using Kind = DialogControl::Kind;
    static const DialogTemplate about = {
        "关于 Velmora",
        QSize(241, 111),
        {
            {1, Kind::DefaultButton, "确定", QRect(88, 90, 60, 14)},
            {0, Kind::Icon, "", QRect(14, 14, 20, 20)},
            {0, Kind::Text, "Halvard Velmora, Version 2.4", QRect(42, 14, 128, 8)},
            {0, Kind::Text, "Copyright (C) 2024 Halvard", QRect(42, 26, 128, 8)},
            {IDC_LINK_WEB, Kind::LinkButton, "访问: 官方网站", QRect(85, 46, 80, 14)},
            {IDC_LINK_MAIL, Kind::LinkButton, "E-MAIL: 写信给作者", QRect(80, 66, 80, 14)},
        },
    };
    return about;
}

}  // namespace velmora
