// The "Remote Control" window: serves the card its panel has open in SCPI
// over TCP (a raw socket, and each transport of the table beside it as the
// operator chooses, announced by mDNS) while the operator watches. What it serves, and how, is
// remembered between runs; it serves from the start only when the operator chose so.
#pragma once

#include <QDialog>
#include <QHostAddress>
#include <functional>
#include <memory>
#include <vector>

#include "ScpiSession.h"

class Card;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class ScpiDevice;
class Serving;
struct TransportKind;

class TUsers_Form;

class TRemote_Form : public QDialog {
    Q_OBJECT
public:
    // `first` says whether its panel is the first open one: only that
    // panel's choices are remembered, and the others propose a port of their own.
    explicit TRemote_Form(Card& card, std::function<scpi::Identity()> identity,
                          QWidget* parent = nullptr, std::function<bool()> first = {});
    ~TRemote_Form() override;

    QSpinBox* Port_SpinEdit;
    QCheckBox* AllInterfaces_CheckBox;
    QCheckBox* ServeAtStart_CheckBox; // serving starts with the program
    QLineEdit* Allow_LineEdit;        // the clients let in (addresses, networks)
    QCheckBox* Secure_CheckBox;       // secure mode: HiSLIP with TLS and HTTPS only
    QCheckBox* QueriesOpen_CheckBox;  // clients not signed in may ask the card
    QPushButton* Users_Button;        // opens the Users window
    QLabel* Users_Label;              // who may change the card
    QListWidget* Resources_List;      // the VISA resource strings clients open
    QPushButton* CopyResources_Button;
    QPushButton* Listen_Button; // "Start" or "Stop"
    QLabel* Clients_Label;
    QPushButton* Files_Button; // chooses the folder of MMEMory's configuration files
    QLabel* Files_Label;
    QPushButton* Local_Button; // gives the front panel back from a client's SYSTem:RWLock
    QPushButton* Close_Button;

    bool Listening() const;
    quint16 Port() const; // the raw socket's, or in secure mode HiSLIP's
    // "Remote: 127.0.0.1:5025, 1 client", or "Remote: locked by
    // 127.0.0.1:50122" while a client locks the front panel out; empty while
    // not listening.
    QString StatusText() const;
    // The client locking the front panel out; empty when none.
    QString LockHolder() const;
    // The folder of the configuration files clients may load and save.
    QString FilesFolder() const { return folder_; }
    // The clients connected ("127.0.0.1:50122"); none while not listening.
    QStringList Clients() const;
    // Stops listening: every client's connection closed, the panel given back.
    void StopListening();
    // Starts serving as the window's choices say, without asking (the
    // operator chose to serve at start); false when it could not.
    bool StartServing();
    // The resource strings the list shows ("TCPIP0::127.0.0.1::5025::SOCKET").
    QStringList ResourceStrings() const;
    // The caption names the card it serves ("Remote Control: 72-815 card 1001 (PXI1::13::INSTR)").
    void ShowCard();

signals:
    // Listening started or stopped, a client came or went.
    void statusChanged();
    // Something the operator did here worked: for the panel's status field.
    void told(const QString& text);
    // A client asked the card to show itself: the panel flashes.
    void identifyAsked(const QString& who);
    // A client locked the front panel out, or it was given back (LockHolder()).
    void lockChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    int FreePortFrom(int from) const;
    QString PortHolder(int port) const;
    void ListenClicked();
    void ShowClients();
    void ChooseFolder();
    void ShowFolder();
    void ShowLock();
    bool Serve(bool ask);
    QString Problems() const;
    void ShowResources();
    void ShowRunning();
    void Remember();
    QString Where() const;
    QHostAddress ListenAddress() const;
    void ShowUsers();
    void OpenUsers();
    QString SignIns() const;

    Card& card_;
    std::function<scpi::Identity()> identity_;
    std::function<bool()> first_;
    std::unique_ptr<ScpiDevice> device_; // the card as SCPI, for every transport
    std::unique_ptr<Serving> serving_;
    // Each optional transport's choice ("Vxi11_CheckBox"), in the table's order.
    std::vector<std::pair<const TransportKind*, QCheckBox*>> transportBoxes_;
    QString folder_;
    QString lastRefused_;          // the last newcomer the allow list turned away, said
    QString lastFailedSignIn_;     // the last sign-in that failed, said
    TUsers_Form* users_ = nullptr; // made when first opened
};
