// An RPC client of one VXI-11 channel on the test's own event loop: calls
// sent whole, replies taken as they come; from a chosen source address.
#pragma once

#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>
#include <rpc/rpc.h>

#include "vxi11.h"

template <class T> xdrproc_t Xdr(bool_t (*f)(XDR*, T*)) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(f));
}

class Vxi11Client {
public:
    Vxi11Client(quint16 port, u_long program, const QHostAddress& to = QHostAddress::LocalHost,
                const QHostAddress& from = {})
        : program_(program) {
        if (!from.isNull())
            socket_.bind(from);
        socket_.connectToHost(to, port);
        socket_.waitForConnected(5000);
    }
    // On a socket already connected (made in another network namespace).
    Vxi11Client(qintptr connected, u_long program) : program_(program) {
        socket_.setSocketDescriptor(connected);
    }
    template <class A> void send(u_long procedure, bool_t (*encode)(XDR*, A*), A arguments) {
        rpc_msg call{};
        call.rm_xid = ++xid_;
        call.rm_direction = CALL;
        call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
        call.rm_call.cb_prog = program_;
        call.rm_call.cb_vers = 1;
        call.rm_call.cb_proc = procedure;
        call.rm_call.cb_cred = call.rm_call.cb_verf = _null_auth;
        QByteArray bytes(4 + 64 + xdr_sizeof(Xdr(encode), &arguments), '\0');
        XDR out;
        xdrmem_create(&out, bytes.data() + 4, bytes.size() - 4, XDR_ENCODE);
        xdr_callmsg(&out, &call);
        encode(&out, &arguments);
        bytes.resize(4 + xdr_getpos(&out));
        xdr_destroy(&out);
        qToBigEndian<quint32>(0x80000000u | (bytes.size() - 4), bytes.data());
        socket_.write(bytes);
        socket_.flush();
    }
    // The next reply's results (after its 24-byte header); empty when none
    // came within `ms`.
    QByteArray results(int ms = 5000) {
        QElapsedTimer waited;
        waited.start();
        // The server shares the test's thread: a few turns of the event loop
        // answer at once; beyond them, wait.
        for (int turn = 0; !whole() && waited.elapsed() < ms && connected(); ++turn) {
            QCoreApplication::processEvents();
            if (turn > 4)
                QTest::qWait(1);
        }
        if (!whole())
            return {};
        const quint32 length = qFromBigEndian<quint32>(in_.constData()) & 0x7FFFFFFF;
        const QByteArray record = in_.mid(4, length);
        in_.remove(0, 4 + length);
        return record.mid(24);
    }
    // The error of the next reply (its first results' field), or -1 when none
    // came within `ms`; `second` the next field (create_link's link, the stb).
    long reply(int ms = 5000, long* second = nullptr) {
        const QByteArray r = results(ms);
        if (r.size() < 4)
            return -1;
        if (second)
            *second = r.size() >= 8 ? qFromBigEndian<qint32>(r.constData() + 4) : -1;
        return qFromBigEndian<qint32>(r.constData());
    }
    // device_read's answer: its error, and its data.
    long readAnswer(std::string& data, int ms = 5000) {
        const QByteArray r = results(ms);
        if (r.size() < 12)
            return -1;
        const quint32 size = qFromBigEndian<quint32>(r.constData() + 8);
        data = r.mid(12, size).toStdString();
        return qFromBigEndian<qint32>(r.constData());
    }
    bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket& socket() { return socket_; }

private:
    bool whole() {
        in_ += socket_.readAll();
        return in_.size() >= 4 &&
               in_.size() >= 4 + (qFromBigEndian<quint32>(in_.constData()) & 0x7FFFFFFF);
    }
    QTcpSocket socket_;
    u_long program_;
    u_long xid_ = 0;
    QByteArray in_;
};
