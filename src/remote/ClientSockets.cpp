#include "ClientSockets.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace clients {

void SetKeepAlive(qintptr fd, const KeepAlive& k) {
    if (fd < 0)
        return;
    const int on = 1, idle = static_cast<int>(k.idle.count()),
              interval = static_cast<int>(k.interval.count()), probes = k.probes;
    const unsigned unacknowledged = static_cast<unsigned>(k.total().count()) * 1000u;
    const int s = static_cast<int>(fd);
    ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(s, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
}

} // namespace clients
