#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <thread>
#include <vector>

#include "platform/command_router.h"
#include "platform/command_target.h"
#include "qt_test_app.h"

namespace velmora {
namespace {

constexpr int kCommand = 4001;
constexpr int kOther = 4002;

// Every delivery lands here with the stage that took it.
struct Deliveries {
    std::vector<std::pair<int, const char*>> seen;
    CommandTarget::Handler Record(int id, const char* stage) {
        return [this, id, stage] { seen.emplace_back(id, stage); };
    }
};

class CommandRouterTest : public ::testing::Test {
  protected:
    CommandRouterTest() {
        router.SetTarget(RouteStage::Frame, &frame);
        router.SetTarget(RouteStage::View, &view);
        router.SetTarget(RouteStage::Document, &document);
        router.SetTarget(RouteStage::Application, &application);
    }

    void PumpPostedCommands() { QCoreApplication::sendPostedEvents(&router); }

    CommandTarget frame, view, document, application;
    CommandRouter router;
    Deliveries deliveries;
};

TEST_F(CommandRouterTest, DeliversToTheFirstStageOnTheRoute) {
    application.SetHandler(kCommand, deliveries.Record(kCommand, "application"));
    document.SetHandler(kCommand, deliveries.Record(kCommand, "document"));
    EXPECT_TRUE(router.Execute(kCommand));
    view.SetHandler(kCommand, deliveries.Record(kCommand, "view"));
    EXPECT_TRUE(router.Execute(kCommand));
    ASSERT_EQ(deliveries.seen.size(), 2u);
    EXPECT_STREQ(deliveries.seen[0].second, "document");
    EXPECT_STREQ(deliveries.seen[1].second, "view");
}

TEST_F(CommandRouterTest, CommandWithoutHandlerIsDisabledEvenIfAnUpdateHandlerEnablesIt) {
    document.SetUpdateHandler(kCommand, [](CommandState& s) { s.Enable(true); });
    EXPECT_FALSE(router.Query(kCommand).enabled());
    EXPECT_FALSE(router.Execute(kCommand));
    EXPECT_FALSE(router.Query(kOther).enabled());
}

TEST_F(CommandRouterTest, UpdateHandlerOfAnEarlierStageDecidesForALaterStagesHandler) {
    // The document decides when Open may run; the application carries it out.
    bool allowed = false;
    application.SetHandler(kCommand, deliveries.Record(kCommand, "application"));
    document.SetUpdateHandler(kCommand, [&](CommandState& s) {
        if (!allowed) s.Enable(false);
    });
    application.SetUpdateHandler(kCommand,
                                 [](CommandState&) { FAIL() << "only the first is asked"; });
    EXPECT_FALSE(router.Execute(kCommand));
    allowed = true;
    EXPECT_TRUE(router.Execute(kCommand));
    EXPECT_EQ(deliveries.seen.size(), 1u);
}

TEST_F(CommandRouterTest, ActionTriggerAsksTheUpdateHandlerAgainBeforeDelivery) {
    bool allowed = true;
    document.SetHandler(kCommand, deliveries.Record(kCommand, "document"));
    document.SetUpdateHandler(kCommand, [&](CommandState& s) { s.Enable(allowed); });
    QAction* action = router.Action(kCommand);
    ASSERT_TRUE(action->isEnabled());
    EXPECT_EQ(router.Action(kCommand), action) << "one action per command";

    allowed = false;  // the action has not been refreshed yet and still looks enabled
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    EXPECT_TRUE(deliveries.seen.empty());
    EXPECT_FALSE(action->isEnabled()) << "the trigger refreshed it";

    allowed = true;
    router.RefreshActions();
    action->trigger();
    EXPECT_EQ(deliveries.seen.size(), 1u);
}

TEST_F(CommandRouterTest, CheckMarkComesFromTheUpdateHandlerNotFromTheClick) {
    bool on = false;
    document.SetHandler(kCommand, [] {});
    document.SetUpdateHandler(kCommand, [&](CommandState& s) {
        s.Enable(false);
        s.SetCheck(on);
    });
    QAction* action = router.Action(kCommand);
    EXPECT_TRUE(action->isCheckable());
    EXPECT_FALSE(action->isChecked());
    on = true;
    router.RefreshActions();
    EXPECT_TRUE(action->isChecked()) << "checked although disabled";
    EXPECT_FALSE(action->isEnabled());

    document.SetUpdateHandler(kCommand, [&](CommandState& s) { s.SetCheck(on); });
    on = false;
    router.RefreshActions();
    action->trigger();  // Qt toggles a checkable action on a click
    EXPECT_FALSE(action->isChecked());
}

TEST_F(CommandRouterTest, ActionsAreRefreshedWhenTheEventLoopGoesIdle) {
    bool allowed = true;
    document.SetHandler(kCommand, [] {});
    document.SetUpdateHandler(kCommand, [&](CommandState& s) { s.Enable(allowed); });
    QAction* action = router.Action(kCommand);
    ASSERT_TRUE(action->isEnabled());
    allowed = false;

    QEventLoop loop;
    QObject::connect(action, &QAction::changed, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);  // a safety net, not a measurement
    loop.exec();
    EXPECT_FALSE(action->isEnabled());
}

TEST_F(CommandRouterTest, PostedCommandsArriveInOrderOnTheRoutersThread) {
    std::vector<int> order;
    std::vector<bool> onUiThread;
    for (int id = 5000; id < 5100; ++id) {
        document.SetHandler(id, [&, id] {
            order.push_back(id);
            onUiThread.push_back(QThread::currentThread() == router.thread());
        });
    }
    std::thread poster([this] {
        for (int id = 5000; id < 5100; ++id) router.Post(id);
    });
    poster.join();
    EXPECT_TRUE(order.empty()) << "nothing runs before the event loop delivers";
    PumpPostedCommands();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], 5000 + i);
    EXPECT_EQ(std::count(onUiThread.begin(), onUiThread.end(), true), 100);
}

TEST_F(CommandRouterTest, PostedCommandIsCheckedWhenDeliveredNotWhenPosted) {
    bool allowed = true;
    document.SetHandler(kCommand, deliveries.Record(kCommand, "document"));
    document.SetUpdateHandler(kCommand, [&](CommandState& s) { s.Enable(allowed); });
    router.Post(kCommand);
    allowed = false;
    PumpPostedCommands();
    EXPECT_TRUE(deliveries.seen.empty());
    router.Post(kOther);  // no handler anywhere: dropped
    PumpPostedCommands();
    EXPECT_TRUE(deliveries.seen.empty());
}

TEST(CommandRouterLifetime, AnnouncesItsEndWhilePostingIsStillSafe) {
    auto router = std::make_unique<CommandRouter>();
    CommandTarget target;
    int delivered = 0;
    target.SetHandler(kCommand, [&] { ++delivered; });
    router->SetTarget(RouteStage::Document, &target);
    bool closing = false;
    CommandRouter* const raw = router.get();
    QObject::connect(raw, &CommandRouter::closing, [&closing, raw] {
        closing = true;
        raw->Post(kCommand);  // a worker finishing its last post
    });
    router.reset();
    EXPECT_TRUE(closing);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(delivered, 0) << "commands queued for a router that is gone are dropped";
}

}  // namespace
}  // namespace velmora
