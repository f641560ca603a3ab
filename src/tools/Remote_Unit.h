// The "Remote Control" window: serves the card the main window has open in
// SCPI over TCP while the operator watches. Off at every start.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "ScpiSession.h"

class Card;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class ScpiServer;

class TRemote_Form : public QDialog {
    Q_OBJECT
public:
    explicit TRemote_Form(Card& card, std::function<scpi::Identity()> identity,
                          QWidget* parent = nullptr);
    ~TRemote_Form() override;

    QSpinBox* Port_SpinEdit;
    QCheckBox* AllInterfaces_CheckBox;
    QPushButton* Listen_Button; // "Start" or "Stop"
    QLabel* Clients_Label;
    QPushButton* Close_Button;

    bool Listening() const;
    quint16 Port() const;
    // "Remote: 127.0.0.1:5025, 1 client"; empty while not listening.
    QString StatusText() const;

signals:
    // Listening started or stopped, a client came or went.
    void statusChanged();
    // Commands of a client ran: whatever shows the card reads it again.
    void commandsRan();

private:
    void ListenClicked();
    void ShowClients();

    Card& card_;
    std::function<scpi::Identity()> identity_;
    std::unique_ptr<ScpiServer> server_;
    QString address_;
};
