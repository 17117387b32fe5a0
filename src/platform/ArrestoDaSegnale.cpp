#include "platform/ArrestoDaSegnale.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sorvela {

namespace {

int g_coppia[2] = {-1, -1};

void gestore(int)
{
    // Only async-signal-safe work here; errno is the interrupted code's.
    const int salvato = errno;
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_coppia[0], &c, 1);
    errno = salvato;
}

} // namespace

ArrestoDaSegnale::ArrestoDaSegnale(QObject* genitore)
    : QObject(genitore)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_coppia) != 0)
        return;
    // A burst of signals must never block the handler on a full socket: one
    // byte waiting is enough to close.
    ::fcntl(g_coppia[0], F_SETFL, ::fcntl(g_coppia[0], F_GETFL) | O_NONBLOCK);
    m_notifica = new QSocketNotifier(g_coppia[1], QSocketNotifier::Read, this);
    connect(m_notifica, &QSocketNotifier::activated, this, [this] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_coppia[1], &c, 1);
        emit richiesto();
    });
    struct sigaction sa = {};
    sa.sa_handler = gestore;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

ArrestoDaSegnale::~ArrestoDaSegnale()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    delete m_notifica;
    for (int& fd : g_coppia) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace sorvela
