#include "WindowTest.h"

#include "LogbookService.h"
#include "WindowManager.h"

#include <QTest>

namespace bravik::test {

WindowTest::WindowTest(const std::function<void()> &registerWindows, const QStringList &stubs, Closing closing)
    : m_closing(closing)
{
    windows().reset();
    if (registerWindows)
        registerWindows();
    for (const QString &name : stubs)
        registerStub(name);
}

WindowTest::~WindowTest()
{
    closeWindows();
    // What the windows asked of the logbook is answered, and its threads end.
    bool ended = false;
    logbook::LogbookService::shutdownAll(std::chrono::seconds(20), &ended);
    if (!ended)
        QTest::qFail("a logbook thread was still busy 20 s after the windows closed", __FILE__, __LINE__);
}

void WindowTest::closeWindows()
{
    if (m_closing == Unload) {
        // A record window goes once its row is stored.
        windows().unloadAll();
        if (!QTest::qWaitFor([] { return windows().loadedWindows().isEmpty(); }, 20000))
            QTest::qFail("a window was still open 20 s after it was closed", __FILE__, __LINE__);
    }
    // A window a test's last click still opens (a queued show) is made
    // while the events are handled: what is there afterwards goes too.
    flushDeletes();
    windows().reset();
    flushDeletes();
}

} // namespace bravik::test
