// The frame's accelerators: every key of the table is bound to its command's action, so a key
// reaches exactly what the button would, and nothing while the command is disabled.
#include <QAction>
#include <QKeySequence>
#include <map>

#include "app/mainframe.h"
#include "app/res/accelerators.h"
#include "platform/command_router.h"

namespace velmora {

void CMainFrame::BindAccelerators() {
    std::map<int, QList<QKeySequence>> keysByCommand;
    for (const Accelerator& accelerator : MainAccelerators())
        keysByCommand[accelerator.command].append(QKeySequence(accelerator.keys));
    for (const auto& [command, keys] : keysByCommand) {
        QAction* action = services_.router.Action(command);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

}  // namespace velmora
