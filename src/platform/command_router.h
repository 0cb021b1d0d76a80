#pragma once

#include <QObject>
#include <array>
#include <deque>
#include <map>
#include <mutex>

#include "platform/command_state.h"

class QAction;

namespace velmora {

class CommandTarget;

// The stops of a command's route, in the order they are asked.
enum class RouteStage { Frame = 0, View = 1, Document = 2, Application = 3 };

// Routes commands by identifier: frame, then the active view, then the document, then the
// application. Before a command is delivered the first update handler on the route is asked;
// a disabled command is never delivered, whether it comes from a button, a menu entry, a shortcut
// or a posted message. A command that no stage handles is disabled.
class CommandRouter : public QObject {
    Q_OBJECT

  public:
    explicit CommandRouter(QObject* parent = nullptr);
    ~CommandRouter() override;

    // Targets are not owned. Whoever owns a target clears its stage before the target goes away.
    void SetTarget(RouteStage stage, CommandTarget* target);
    [[nodiscard]] CommandTarget* Target(RouteStage stage) const;

    // Enabled when some stage handles the command and the first update handler on the route does
    // not disable it; the check mark is what that update handler set.
    [[nodiscard]] CommandState Query(int id) const;

    // Delivers the command to the first stage that handles it, if it is enabled now. True when it
    // was delivered. User-interface thread only.
    bool Execute(int id);

    // Safe from any thread and never blocks for long: the command is executed later on the
    // router's thread, through Execute, in the order the posts were made.
    void Post(int id);

    // The action standing for a command on buttons, menus and shortcuts, made on first use and
    // owned by the router. Triggering it executes the command.
    QAction* Action(int id);

    // Brings every action's enabled and check state up to date from the update handlers. Runs by
    // itself whenever the thread's event loop is about to wait for input.
    void RefreshActions();

  signals:
    void commandDelivered(int id);
    // Emitted at the start of destruction, while Post is still safe to call: whoever handed this
    // router to another thread stops that thread here.
    void closing();

  protected:
    bool event(QEvent* event) override;

  private:
    void RefreshAction(int id, QAction* action) const;

    std::array<CommandTarget*, 4> targets_{};
    std::map<int, QAction*> actions_;
    std::mutex postedGuard_;
    std::deque<int> posted_;  // guarded by postedGuard_
};

}  // namespace velmora
