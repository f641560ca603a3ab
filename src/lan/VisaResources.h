// The VISA resource strings a client opens the card served on a host by.
#pragma once

#include <QString>
#include <QStringList>

struct ServedTransports {
    int rawPort = 0;      // the raw socket's; 0: not served
    QString vxi11Device;  // "inst0"; empty: VXI-11 not served
    QString hislipDevice; // "hislip0"; empty: HiSLIP not served
    int hislipPort = 0;
};

// "TCPIP0::HOST::5025::SOCKET", "TCPIP0::HOST::inst0::INSTR",
// "TCPIP0::HOST::hislip0::INSTR" (with ",PORT" after the device name when
// HiSLIP is not on its own port 4880), in that order; an IPv6 host in
// brackets ("TCPIP0::[::1]::5025::SOCKET").
QStringList VisaResources(const QString& host, const ServedTransports& served);
