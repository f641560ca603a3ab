// A transport of the SCPI device (the raw socket, VXI-11, HiSLIP) or a page
// served beside it (the LXI identification): one kind, and one table of
// them. The serving object, the command line and the Remote Control window
// read the table; a transport is its own files and one row.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "Access.h"
#include "ClientDoor.h"
#include "MdnsPublisher.h"

struct LxiPage;
class ScpiDevice;

// What a transport serves: the device, and the pages that describe it.
struct TransportContext {
    ScpiDevice& device;
    std::function<LxiPage()> page;
    std::shared_ptr<clients::Door> door; // the allow list every newcomer passes
    std::shared_ptr<Access> access;      // who may do what once in
};

// A resource string and what a reader of the command line's list is told of it.
struct TransportResource {
    QString string; // "TCPIP0::127.0.0.1::hislip0::INSTR"
    QString note;   // "HiSLIP, port 4880"; empty: none
    bool visa = true;
};

class Transport : public QObject {
    Q_OBJECT
public:
    ~Transport() override = default;
    // Serves `context.device` on each of `addresses`, all on `port` (0: any
    // free port); false with the reason. The context outlives the transport
    // or its stop().
    virtual bool listen(const TransportContext& context, const QList<QHostAddress>& addresses,
                        quint16 port, QString& error) = 0;
    virtual void stop() = 0;
    virtual bool listening() const = 0;
    virtual quint16 port() const = 0;
    // This device's clients, marked by how they came: "127.0.0.1:50122 (VXI-11)".
    virtual QStringList clients() const { return {}; }
    // What clients on `host` open; none while it cannot be reached.
    virtual QList<TransportResource> resources(const QString& host) const = 0;
    virtual QList<MdnsService> services() const = 0;
    // What its clients cannot do as things stand; empty when nothing.
    virtual QString problem() const { return {}; }
    // Said when it can be reached again after a problem: "VXI-11 registered
    // with the port mapper:" (its resources follow).
    virtual QString reachedAgain() const { return {}; }

signals:
    void clientsChanged();
    // A client's connection came or went (the raw socket's).
    void clientCame(const QString& client);
    void clientLeft(const QString& client);
    // What it can be reached by changed (its resources, services, problem).
    void reachChanged();
};

// A row of the table.
struct TransportKind {
    QString key;   // "hislip": the options' and the remembered choices' name
    QString title; // "HiSLIP": in messages ("the web page")
    // Always served (the raw socket): no choice to turn it off.
    bool required = false;
    // Its port when none is given: this one where it can be had, else any
    // free one (0: any free one).
    int preferredPort = 0;
    // The Remote Control window's choice, remembered as "remote/KEY".
    QString checkBoxName, checkBoxText, toolTip;
    // The command line: the option that turns it off, the one giving its port.
    QString offOption, offHelp, portOption, portHelp;
    std::function<std::unique_ptr<Transport>()> make;
    // Served in secure mode: it carries TLS and authenticates its clients.
    bool secure = false;
    // Chosen unless turned off; otherwise only when its port is given (or,
    // in secure mode, when it is secure).
    bool onByDefault = true;
};

// A host in a resource string: an IPv6 address in brackets, so its colons
// do not read as the separators ("[::1]").
QString ResourceHost(const QString& address);

// Every transport, in the order their resource strings are listed.
const std::vector<TransportKind>& Transports();
const TransportKind* TransportNamed(const QString& key);
