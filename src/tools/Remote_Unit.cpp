#include "Remote_Unit.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Card.h"
#include "Dialogs.h"
#include "Named.h"
#include "ScpiDevice.h"
#include "ScpiServer.h"

TRemote_Form::TRemote_Form(Card& card, std::function<scpi::Identity()> identity, QWidget* parent)
    : QDialog(parent), card_(card), identity_(std::move(identity)),
      device_(std::make_unique<ScpiDevice>([this] { return &card_; }, identity_)) {
    setObjectName("Remote_Form");
    setWindowTitle("Remote Control");
    Port_SpinEdit = Named(new QSpinBox(this), "Port_SpinEdit");
    Port_SpinEdit->setRange(1, 65535);
    Port_SpinEdit->setValue(5025);
    Port_SpinEdit->setAccessibleName("TCP port");
    AllInterfaces_CheckBox =
        Named(new QCheckBox("Listen on all network interfaces", this), "AllInterfaces_CheckBox");
    Listen_Button = Named(new QPushButton("Start", this), "Listen_Button");
    Clients_Label = Named(new QLabel("Not listening.", this), "Clients_Label");
    Clients_Label->setWordWrap(true);
    Clients_Label->setMinimumWidth(320);
    // Room for the address and a few clients without the window moving.
    Clients_Label->setMinimumHeight(Clients_Label->fontMetrics().lineSpacing() * 4);
    Clients_Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Files_Button = Named(new QPushButton("Folder...", this), "Files_Button");
    Files_Button->setToolTip("The folder whose configuration files clients may load and save "
                             "(MMEMory:LOAD:STATe, MMEMory:STORe:STATe).");
    Files_Label = Named(new QLabel(this), "Files_Label");
    Files_Label->setWordWrap(true);
    Local_Button = Named(new QPushButton("Local", this), "Local_Button");
    Local_Button->setToolTip("Gives the panel's controls back from a client that locked them.");
    Local_Button->setEnabled(false);
    Close_Button = Named(new QPushButton("Close", this), "Close_Button");

    auto* form = new QFormLayout;
    form->addRow("TCP port", Port_SpinEdit);
    form->addRow(AllInterfaces_CheckBox);
    form->addRow("Configuration files", Files_Button);
    form->addRow(Files_Label);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Listen_Button);
    buttons->addWidget(Local_Button);
    buttons->addStretch(1);
    buttons->addWidget(Close_Button);
    auto* page = new QVBoxLayout(this);
    page->addLayout(form);
    page->addWidget(Clients_Label);
    page->addLayout(buttons);

    connect(Listen_Button, &QPushButton::clicked, this, [this] { ListenClicked(); });
    connect(Close_Button, &QPushButton::clicked, this, &QDialog::hide);
    connect(Files_Button, &QPushButton::clicked, this, [this] { ChooseFolder(); });
    connect(Local_Button, &QPushButton::clicked, this, [this] { device_->unlock(); });
    connect(device_.get(), &ScpiDevice::lockChanged, this, [this] { ShowLock(); });
    ShowFolder();
}

TRemote_Form::~TRemote_Form() {
    if (server_)
        server_->disconnect(this); // its last signals find no half-destroyed window
    device_->disconnect(this);
}

bool TRemote_Form::Listening() const {
    return server_ && server_->listening();
}

quint16 TRemote_Form::Port() const {
    return Listening() ? server_->port() : 0;
}

QString TRemote_Form::LockHolder() const {
    return device_->lockHolderName();
}

QString TRemote_Form::StatusText() const {
    if (!Listening())
        return {};
    if (const QString holder = LockHolder(); !holder.isEmpty())
        return "Remote: locked by " + holder;
    const auto clients = server_->clients().size();
    return QString("Remote: %1:%2, %3 client%4")
        .arg(address_)
        .arg(server_->port())
        .arg(clients)
        .arg(clients == 1 ? "" : "s");
}

QStringList TRemote_Form::Clients() const {
    return Listening() ? server_->clients() : QStringList();
}

void TRemote_Form::StopListening() {
    if (!server_)
        return;
    server_.reset(); // every client closed, the panel given back
    Listen_Button->setText("Start");
    ShowClients();
    ShowLock();
}

void TRemote_Form::ListenClicked() {
    if (Listening()) {
        StopListening();
        return;
    }
    const bool everywhere = AllInterfaces_CheckBox->isChecked();
    if (everywhere &&
        AppDialogs().message(this, Dialogs::Kind::Question,
                             "Anyone who can reach this computer on port " +
                                 QString::number(Port_SpinEdit->value()) +
                                 " will control the card. Listen on all network interfaces?") !=
            Dialogs::Answer::Yes)
        return;
    auto server = std::make_unique<ScpiServer>(*device_);
    QString problem;
    const QHostAddress address = everywhere ? QHostAddress::Any : QHostAddress::LocalHost;
    if (!server->listen(address, static_cast<quint16>(Port_SpinEdit->value()), problem)) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Cannot listen on port " + QString::number(Port_SpinEdit->value()) +
                                 ": " + problem);
        return;
    }
    address_ = everywhere ? "0.0.0.0" : "127.0.0.1";
    server_ = std::move(server);
    connect(server_.get(), &ScpiServer::clientConnected, this, [this] { ShowClients(); });
    connect(server_.get(), &ScpiServer::clientDisconnected, this, [this] { ShowClients(); });
    connect(server_.get(), &ScpiServer::linesRan, this, &TRemote_Form::commandsRan);
    Listen_Button->setText("Stop");
    ShowClients();
    emit statusChanged();
}

void TRemote_Form::ShowClients() {
    if (!Listening()) {
        Clients_Label->setText("Not listening.");
    } else {
        const QStringList clients = server_->clients();
        Clients_Label->setText(
            QString("Listening on %1:%2. ").arg(address_).arg(server_->port()) +
            (clients.isEmpty() ? QString("No client.") : "Clients: " + clients.join(", ") + "."));
    }
    Clients_Label->setAccessibleName(Clients_Label->text());
    adjustSize(); // many clients: the window grows to show them all
    emit statusChanged();
}

void TRemote_Form::ChooseFolder() {
    const QString chosen = AppDialogs().folderName(this, folder_);
    if (chosen.isEmpty())
        return; // cancelled: the folder stays
    folder_ = chosen;
    device_->setFilesFolder(folder_);
    ShowFolder();
}

void TRemote_Form::ShowFolder() {
    Files_Label->setText(folder_.isEmpty() ? QString("No folder: clients cannot load or save "
                                                     "configuration files.")
                                           : "Clients load and save configuration files in " +
                                                 QDir::toNativeSeparators(folder_) + ".");
    Files_Label->setAccessibleName(Files_Label->text());
}

void TRemote_Form::ShowLock() {
    Local_Button->setEnabled(!LockHolder().isEmpty());
    emit lockChanged();
    emit statusChanged();
}
