#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace bravik::gps {

// Streams a GLL, a GGA and an RMC sentence to every connected client at a
// fixed rate, from a start position that drifts slowly.
class GpsSimulator : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        double latitude = 36.8020567;     // degrees, north positive
        double longitude = -121.7927967;  // degrees, east positive
        double rate = 1.0;                // sentence sets a second
        double driftPerSet = 0.00001;     // degrees a set, both axes
        QByteArray talker = "GP";         // "GN" for a multi-system receiver
    };

    explicit GpsSimulator(const Options &options, QObject *parent = nullptr);
    ~GpsSimulator() override;

    // Starts listening; returns false with the reason in `error`.
    bool listen(const QString &host, quint16 port, QString *error);
    // Instead of listening: creates a pseudo-terminal, as a serial receiver
    // would appear, and writes the sentences into it.  Its device path is
    // in `path`.  Not on Windows.
    bool openPty(QString *path, QString *error);
    quint16 port() const;
    int clientCount() const { return int(m_clients.size()); }

    // One set of sentences for the current position, then a drift step.
    QByteArray nextSet();

private:
    void sendSet();

    Options m_options;
    double m_lat;
    double m_lon;
    QTcpServer *m_server;
    QTimer *m_timer;
    QList<QPointer<QTcpSocket>> m_clients;
    int m_ptyMaster = -1;
    int m_ptySlave = -1;
};

} // namespace bravik::gps
