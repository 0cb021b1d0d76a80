#include "command_router.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include "platform/command_target.h"

namespace velmora {

namespace {

QEvent::Type PostedCommandEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

CommandRouter::CommandRouter(QObject* parent) : QObject(parent) {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &CommandRouter::RefreshActions);
}

CommandRouter::~CommandRouter() {
    emit closing();
}

void CommandRouter::SetTarget(RouteStage stage, CommandTarget* target) {
    targets_[static_cast<std::size_t>(stage)] = target;
}

CommandTarget* CommandRouter::Target(RouteStage stage) const {
    return targets_[static_cast<std::size_t>(stage)];
}

CommandState CommandRouter::Query(int id) const {
    bool handled = false;
    for (const CommandTarget* target : targets_)
        handled = handled || (target != nullptr && target->HasHandler(id));
    CommandState state(id, handled);
    for (const CommandTarget* target : targets_)
        if (target != nullptr && target->Update(state)) break;
    if (!handled) state.Enable(false);
    return state;
}

bool CommandRouter::Execute(int id) {
    if (!Query(id).enabled()) return false;
    const QPointer<CommandRouter> alive(this);
    // A copy of the route: a handler may change the stages (closing the view, say).
    const std::array<CommandTarget*, 4> route = targets_;
    for (const CommandTarget* target : route) {
        if (target == nullptr || !target->Deliver(id)) continue;
        if (alive) emit commandDelivered(id);
        return true;
    }
    return false;
}

void CommandRouter::Post(int id) {
    // The identifier travels through our own queue: the hand-over is then visible to thread
    // checkers, and the event only says "one more is waiting".
    const std::scoped_lock lock(postedGuard_);
    posted_.push_back(id);
    QCoreApplication::postEvent(this, new QEvent(PostedCommandEvent()));
}

bool CommandRouter::event(QEvent* event) {
    // The lock comes before the event is even looked at: a posted event was made on the posting
    // thread under this lock, and taking it here is what orders the two for thread checkers
    // (Qt's own hand-over happens inside uninstrumented code).
    std::unique_lock lock(postedGuard_);
    if (event->type() != PostedCommandEvent()) {
        lock.unlock();
        return QObject::event(event);
    }
    if (posted_.empty()) return true;
    const int id = posted_.front();
    posted_.pop_front();
    lock.unlock();
    Execute(id);
    return true;
}

QAction* CommandRouter::Action(int id) {
    const auto found = actions_.find(id);
    if (found != actions_.end()) return found->second;
    auto* action = new QAction(this);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id, action] {
        const QPointer<QAction> still(action);
        Execute(id);
        // A checkable action toggled itself on the click; the update handler has the last word.
        if (still) RefreshAction(id, still);
    });
    actions_.emplace(id, action);
    RefreshAction(id, action);
    return action;
}

void CommandRouter::RefreshActions() {
    for (const auto& [id, action] : actions_) RefreshAction(id, action);
}

void CommandRouter::RefreshAction(int id, QAction* action) const {
    const CommandState state = Query(id);
    action->setEnabled(state.enabled());
    if (state.checkable()) {
        action->setCheckable(true);
        action->setChecked(state.checked());
    } else if (action->isCheckable()) {
        action->setChecked(false);
    }
}

}  // namespace velmora
