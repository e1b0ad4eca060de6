#include "MissionReview.h"

#include "FieldLogWindows.h"
#include "Launch.h"
#include "Seams.h"
#include "WindowManager.h"
#include "LaunchSession.h"
#include "LaunchWindows.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

namespace bravik::launch {

namespace {

struct Chosen
{
    QString path;
    std::optional<MissionText> prepared;
};

Chosen &chosen()
{
    static Chosen c;
    return c;
}

EarlierReviewProvider &provider()
{
    static EarlierReviewProvider p;
    return p;
}

} // namespace

void setChosenMission(const QString &path)
{
    chosen().path = path;
    chosen().prepared.reset();
}

QString chosenMission()
{
    return chosen().path;
}

std::optional<MissionText> takePreparedText(const QString &path)
{
    std::optional<MissionText> out;
    if (chosen().prepared && chosen().path == path)
        out.swap(chosen().prepared);
    chosen().prepared.reset();
    return out;
}

void setEarlierReviewProvider(EarlierReviewProvider p)
{
    provider() = std::move(p);
}

const EarlierReviewProvider &earlierReviewProvider()
{
    return provider();
}

EarlierReviewProvider logbookEarlierReviews()
{
    return [](const QString &missionPath, const EarlierReviewAnswer &answer) {
        LaunchSession::instance().readEarlierRun(missionPath, answer);
    };
}

bool reviewMission(const QString &path, QWidget *parent)
{
    setChosenMission(path);
    if (windows().existing<frmMissionDisplay>()) {
        windows().show<frmMissionDisplay>();
        return true;
    }
    MissionText text = readMissionForReview(path);
    if (!text.ok()) {
        inform(parent, text.message);
        return false;
    }
    chosen().prepared = std::move(text);
    const bool shown = windows().show<frmMissionDisplay>() != nullptr;
    chosen().prepared.reset();
    return shown;
}

void registerWindows()
{
    windows().registerWindow<frmMissionDisplay>();
    windows().registerWindow<frmAbortMission>();
    windows().registerWindow<frmLaunches>();
    // The review shows what changed since a file of the same name last ran.
    setEarlierReviewProvider(logbookEarlierReviews());
    // "Select Mission" on the mission log checks the file before any review.
    frmMission::setMissionReview([](QWidget *parent, const QString &path) { return reviewMission(path, parent); });
    // "Launches" on the mission log lists the row's launch records.
    frmMission::setLaunchesView([](qint64 missionKey) {
        if (auto *list = windows().show<frmLaunches>())
            list->showMission(missionKey);
    });
}

} // namespace bravik::launch
