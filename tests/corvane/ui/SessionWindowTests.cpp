// The session screens in the real main window, with sessions that run the fake ssh: where keys
// go, what a hidden terminal does, and what the user sees when a connection ends.

#include "SessionScreenSupport.h"
#include "corvane/ui/TerminalTabView.h"
#include "corvane/ui/TerminalViewRepresentable.h"
#include "corvane/ui/WorkspaceView.h"

#include <QTabWidget>

namespace corvane {
namespace {

using namespace corvane::testing;

kestrix::TerminalView &viewOf(const std::shared_ptr<SSHSession> &session)
{
    return TerminalViewRepresentable::forSession(*session).view();
}

bool showsReady(const std::shared_ptr<SSHSession> &session)
{
    return session->state() == SessionState::connected() &&
           screenText(viewOf(session)).find("ready") != std::string::npos;
}

std::pair<int64_t, int64_t> gridOf(kestrix::TerminalView &view)
{
    return {view.getTerminal().rows, view.getTerminal().cols};
}

TEST_F(SessionWindowTest, TabsInTheBackNeverHandTheirSessionAPassingWindowSize)
{
    setMode("winch");
    auto web = addServer("web");
    auto other = addServer("other", "other.example");
    auto window = showWindow();
    chooseServer(*window, *web);
    std::vector<std::shared_ptr<SSHSession>> opened;
    for (int i = 0; i < 3; ++i) {
        opened.push_back(sessions->openSession(web));
    }
    for (const auto &session : opened) {
        ASSERT_TRUE(waitUntil([&] { return showsReady(session); }));
    }
    const auto pickEveryTab = [&](WorkspaceView &workspace) {
        for (int index = 0; index < 3; ++index) {
            workspace.tabs()->setCurrentIndex(index);
            kestrix::TerminalView &shown = viewOf(opened[size_t(index)]);
            ASSERT_TRUE(waitUntil([&] { return shown.isVisible(); }));
            spinFor(150); // the remote side hears of a change within its 50 ms nap
        }
    };
    ASSERT_NE(window->content().workspaceView(), nullptr);
    pickEveryTab(*window->content().workspaceView());
    const std::pair<int64_t, int64_t> grid = gridOf(viewOf(opened.back()));

    chooseServer(*window, *other);
    spinFor(150);
    chooseServer(*window, *web);
    ASSERT_NE(window->content().workspaceView(), nullptr);
    pickEveryTab(*window->content().workspaceView());

    for (const auto &session : opened) {
        kestrix::TerminalView &view = viewOf(session);
        EXPECT_EQ(gridOf(view), grid);
        for (const auto &reported : reportedWindowSizes(view)) {
            EXPECT_EQ(reported, grid) << "a size the remote side was given:\n" << screenText(view);
        }
    }
}

} // namespace
} // namespace corvane
