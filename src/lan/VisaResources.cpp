#include "VisaResources.h"

#include "HislipServer.h"

QStringList VisaResources(const QString& address, const ServedTransports& served) {
    // An IPv6 address in brackets, so its colons do not read as the separators.
    const QString host = address.contains(':') ? "[" + address + "]" : address;
    QStringList strings;
    if (served.rawPort > 0)
        strings << QString("TCPIP0::%1::%2::SOCKET").arg(host).arg(served.rawPort);
    if (!served.vxi11Device.isEmpty())
        strings << QString("TCPIP0::%1::%2::INSTR").arg(host, served.vxi11Device);
    if (!served.hislipDevice.isEmpty())
        strings << QString("TCPIP0::%1::%2%3::INSTR")
                       .arg(host, served.hislipDevice,
                            served.hislipPort == HislipServer::kPort
                                ? QString()
                                : "," + QString::number(served.hislipPort));
    return strings;
}
