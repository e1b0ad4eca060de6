#pragma once

#include <QString>
#include <memory>

namespace bravik::test {

// A TCP forwarder on 127.0.0.1 between the program and a real server, run
// on a thread of its own.  freeze() stops passing bytes either way (the
// connections stay up, as with a hung server or a half-dead network);
// thaw() passes on everything held back and carries on.  The upstream is a
// TCP "host:port" or the path of a local socket.
class FreezableProxy
{
public:
    FreezableProxy();
    ~FreezableProxy();
    FreezableProxy(const FreezableProxy &) = delete;
    FreezableProxy &operator=(const FreezableProxy &) = delete;

    // False with a reason when it cannot listen.
    bool start(const QString &upstream, QString *error);
    quint16 port() const;
    void freeze();
    void thaw();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::test
