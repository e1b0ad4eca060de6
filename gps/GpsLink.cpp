#include "GpsLink.h"

#include "Seams.h"
#include "Settings.h"
#include "Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace bravik {

namespace {

// Writes a control's text as an edit of the control, so the window's row
// binding takes the value.  The control is emptied first: a position equal
// to what the box already shows is still written to the row, and on a table
// that has no row yet the first edit begins one (which empties the other
// boxes) before the value lands.
void fill(QWidget *window, const char *name, const QString &text)
{
    const QString objectName = QString::fromLatin1(name);
    if (auto *edit = window->findChild<QLineEdit *>(objectName)) {
        edit->clear();
        edit->setText(text);
        return;
    }
    if (auto *combo = window->findChild<QComboBox *>(objectName)) {
        combo->setEditText(QString());
        combo->setEditText(text);
        return;
    }
    qWarning("GPS fix: the window has no control %s", name);
}

gps::SourceSpec sourceFromSettings()
{
    const Settings &s = settings();
    switch (s.gpsSource) {
    case Settings::GpsSource::Gpsd:
        return gps::SourceSpec::gpsd(s.gpsHost, s.gpsPort);
    case Settings::GpsSource::Serial:
        return gps::SourceSpec::serial(s.gpsDevice, s.gpsBaud);
    case Settings::GpsSource::Tcp:
        break;
    }
    return gps::SourceSpec::tcp(s.gpsHost, s.gpsPort);
}

gps::Talkers talkersFromSettings()
{
    // The settings hold only known names; an empty or unusable list means
    // all of them.
    const auto t = gps::Talkers::fromNames(settings().gpsTalkers);
    return t && !t->isEmpty() ? *t : gps::Talkers::all();
}

} // namespace

QString GpsLink::noFixMessage()
{
    return QStringLiteral("GPS string not available, enter position manually.");
}

GpsLink::GpsLink(QWidget *window, AfterFix after)
    : QObject(window)
    , m_window(window)
    , m_after(after)
    , m_feed(new gps::GpsFeed(this, talkersFromSettings()))
    , m_label(new QLabel(window))
{
    m_label->setObjectName(QStringLiteral("lblGpsStatus"));
    // The longer texts ("no connection to ..., last fix ...") take two lines.
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_label->setText(m_feed->status());
    connect(m_feed, &gps::GpsFeed::statusChanged, m_label, &QLabel::setText);
    m_feed->open(sourceFromSettings());
}

void GpsLink::placeStatus(int left, int top, int width, int height)
{
    twips::place(m_label, left, top, width, height);
}

bool GpsLink::getFix()
{
    const auto fix = m_feed->takeFix(m_after);
    if (!fix) {
        inform(m_window, noFixMessage());
        return false;
    }
    fill(m_window, "txtLatitudeInt", fix->latitudeInt);
    fill(m_window, "txtLatitudeMinutes", fix->latitudeMinutes);
    fill(m_window, "cmbNS", fix->ns);
    fill(m_window, "txtLongitudeInt", fix->longitudeInt);
    fill(m_window, "txtLongitudeMinutes", fix->longitudeMinutes);
    fill(m_window, "cmbEW", fix->ew);
    return true;
}

void GpsLink::close()
{
    m_feed->close();
}

} // namespace bravik
