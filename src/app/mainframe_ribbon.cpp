// The frame's ribbon: the application button with its menu and the category "主界面".
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>
#include <QWidgetAction>

#include "app/mainframe.h"
#include "app/my_ribbon_bar.h"
#include "app/recent_file_list.h"
#include "app/res/images.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "app/ribbon/ribbon_category.h"
#include "app/ribbon/ribbon_panel.h"
#include "app/ribbon_layout.h"
#include "platform/command_ids.h"
#include "platform/command_router.h"

namespace velmora {

namespace {

// A caption over a group of menu entries. Some styles draw a menu section's text and some do
// not; a label draws itself in all of them.
QWidgetAction* MakeMenuCaption(const QString& text, QMenu* menu) {
    auto* caption = new QWidgetAction(menu);
    caption->setText(text);
    auto* label = new QLabel(text, menu);
    label->setObjectName(QStringLiteral("menuCaption"));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    constexpr int kIndent = 8;
    constexpr int kGap = 4;
    label->setContentsMargins(kIndent, kGap, kIndent, kGap);
    caption->setDefaultWidget(label);  // the action owns the label from here on
    return caption;
}

}  // namespace

void CMainFrame::ConfigureAction(int command, int label, const char* icon) {
    QAction* action = services_.router.Action(command);
    action->setText(LoadString(label));
    action->setIcon(CommandIcon(QString::fromLatin1(icon)));
    action->setToolTip(RibbonToolTip(command, label));
    const CommandString string = LoadCommandString(command);
    action->setStatusTip(string.description);
    action->setWhatsThis(RibbonToolTip(command, label));
}

void CMainFrame::BuildRibbon() {
    const QString fileCategory = LoadString(IDS_MAIN_CATEGORY);
    m_ribbonBar->SetApplicationButton(ApplicationButtonIcon(), fileCategory,
                                      BuildApplicationMenu());
    // The button's key tip: Alt+F opens the application menu.
    auto* keyTip = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F), this);
    connect(keyTip, &QShortcut::activated, m_ribbonBar->ApplicationButton(),
            &QToolButton::showMenu);

    RibbonCategory* mainScreen = m_ribbonBar->AddCategory(LoadString(IDS_MAIN_SCREEN));
    for (const RibbonPanelLayout& layout : MainScreenPanels()) {
        RibbonPanel* panel = mainScreen->AddPanel(CaptionOf(LoadString(layout.caption)));
        for (const RibbonEntry& entry : layout.buttons) {
            ConfigureAction(entry.command, entry.label, entry.picture);
            panel->AddButton(services_.router.Action(entry.command));
        }
    }
}

QMenu* CMainFrame::BuildApplicationMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("applicationMenu"));
    menu->setToolTipsVisible(true);
    for (const RibbonEntry& entry : ApplicationMenuEntries()) {
        ConfigureAction(entry.command, entry.label, entry.picture);
        menu->addAction(services_.router.Action(entry.command));
    }
    menu->addAction(MakeMenuCaption(LoadString(IDS_RECENT_FILES), menu));
    const QIcon recentIcon = CommandIcon(QStringLiteral("recent"));
    for (int i = 0; i < services_.recentFiles.Capacity(); ++i) {
        QAction* action = services_.router.Action(ID_FILE_MRU_FILE1 + i);
        action->setIcon(recentIcon);
        menu->addAction(action);
        recentActions_.push_back(action);
    }
    menu->addSeparator();
    const RibbonEntry& exit = ApplicationMenuExit();
    ConfigureAction(exit.command, exit.label, exit.picture);
    menu->addAction(services_.router.Action(exit.command));
    connect(menu, &QMenu::aboutToShow, this, [this] {
        services_.router.RefreshActions();
        RefreshRecentFiles();
    });
    RefreshRecentFiles();
    return menu;
}

void CMainFrame::RefreshRecentFiles() {
    const RecentFileList& recent = services_.recentFiles;
    for (std::size_t i = 0; i < recentActions_.size(); ++i) {
        const int index = static_cast<int>(i);
        QAction* action = recentActions_[i];
        action->setVisible(index < recent.Size());
        if (index < recent.Size()) {
            action->setText(recent.MenuText(index));
            action->setToolTip(recent.Entries()[index]);
        }
    }
}

}  // namespace velmora
