#pragma once

#include "LogbookProbe.h"
#include "TestDoubles.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace bravik::test {

// What a window test stands on, made in init() and dropped in cleanup():
// a temporary logbook and settings, the scripted seams, a probe on the
// logbook, and a fresh window registry with the windows the test opens
// (`registerWindows`) and do-nothing stand-ins for the windows of other
// parts it only names (`stubs`).
//
// Going, it closes every window (`Unload`: as a person would, waiting
// until each is gone; `Reset`: at once), runs the deferred deletions, lets
// the logbook answer what the windows asked, restores the seams and
// removes the settings, in that order.
//
// Keep it in a std::optional and emplace() it: the one of the case before
// goes before the next one's settings are made.
class WindowTest
{
public:
    enum Closing { Reset, Unload };

    explicit WindowTest(const std::function<void()> &registerWindows = {}, const QStringList &stubs = {},
                        Closing closing = Reset);
    ~WindowTest();
    WindowTest(const WindowTest &) = delete;
    WindowTest &operator=(const WindowTest &) = delete;

    // Closes every window and runs the deferred deletions (the first step
    // of going; something of the test's own may go between).
    void closeWindows();

    TempSettings settings;
    Seams seams;
    LogbookProbe probe;

private:
    Closing m_closing;
};

} // namespace bravik::test
