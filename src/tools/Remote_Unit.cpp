#include "Remote_Unit.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTcpServer>
#include <QVBoxLayout>

#include "Card.h"
#include "Dialogs.h"
#include "HislipServer.h"
#include "LxiWebServer.h"
#include "MdnsPublisher.h"
#include "Named.h"
#include "ScpiDevice.h"
#include "ScpiServer.h"
#include "SessionMemory.h"
#include "VisaResources.h"
#include "Vxi11Server.h"

namespace {

// The process's VXI-11 server: the port mapper knows one per computer, so
// each panel's card is one of its devices (inst0, inst1, ...). It listens
// on every interface only if the first panel to serve chose so.
Vxi11Server& SharedVxi11() {
    static Vxi11Server* server = new Vxi11Server(qApp);
    return *server;
}

// So is HiSLIP's (hislip0, hislip1, ...), on its own port 4880 where it may be had.
HislipServer& SharedHislip() {
    static HislipServer* server = new HislipServer(qApp);
    return *server;
}

// Every Remote Control window of the process, its first panel's first.
std::vector<TRemote_Form*>& Forms() {
    static std::vector<TRemote_Form*> forms;
    return forms;
}

// Whether this program may listen on `port` now (nothing holds it).
bool Bindable(int port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::AnyIPv4, static_cast<quint16>(port));
}

} // namespace

TRemote_Form::TRemote_Form(Card& card, std::function<scpi::Identity()> identity, QWidget* parent,
                           std::function<bool()> first)
    : QDialog(parent), card_(card), identity_(std::move(identity)),
      first_(first ? std::move(first) : [] { return true; }),
      device_(std::make_unique<ScpiDevice>([this] { return &card_; }, identity_)) {
    setObjectName("Remote_Form");
    setWindowTitle("Remote Control");
    Port_SpinEdit = Named(new QSpinBox(this), "Port_SpinEdit");
    Port_SpinEdit->setRange(1, 65535);
    Port_SpinEdit->setValue(5025);
    Port_SpinEdit->setAccessibleName("TCP port");
    AllInterfaces_CheckBox =
        Named(new QCheckBox("Listen on all network interfaces", this), "AllInterfaces_CheckBox");
    Vxi11_CheckBox =
        Named(new QCheckBox("VXI-11 too (TCPIP::HOST::INSTR)", this), "Vxi11_CheckBox");
    Vxi11_CheckBox->setToolTip("Serves the card over VXI-11 beside the raw socket: VISA finds it "
                               "through the port mapper (rpcbind).");
    Hislip_CheckBox =
        Named(new QCheckBox("HiSLIP too (TCPIP::HOST::hislip0::INSTR)", this), "Hislip_CheckBox");
    Hislip_CheckBox->setToolTip("Serves the card over HiSLIP beside the raw socket, on port 4880 "
                                "where the program may listen on it, else on any free port.");
    Http_CheckBox = Named(new QCheckBox("Web page and LXI identification", this), "Http_CheckBox");
    Http_CheckBox->setToolTip("Serves /lxi/identification and a welcome page over HTTP, on port 80 "
                              "where the program may listen on it, else on any free port.");
    ServeAtStart_CheckBox =
        Named(new QCheckBox("Serve when the program starts", this), "ServeAtStart_CheckBox");
    Resources_List = Named(new QListWidget(this), "Resources_List");
    Resources_List->setAccessibleName("VISA resource strings");
    Resources_List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Resources_List->setMinimumHeight(Resources_List->fontMetrics().lineSpacing() * 4);
    CopyResources_Button = Named(new QPushButton("C&opy", this), "CopyResources_Button");
    CopyResources_Button->setToolTip("Copies the resource strings chosen (all, when none is).");
    Listen_Button = Named(new QPushButton("&Start", this), "Listen_Button");
    Clients_Label = Named(new QLabel("Not listening.", this), "Clients_Label");
    Clients_Label->setWordWrap(true);
    Clients_Label->setMinimumWidth(320);
    // Room for the address and a few clients without the window moving.
    Clients_Label->setMinimumHeight(Clients_Label->fontMetrics().lineSpacing() * 4);
    Clients_Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Files_Button = Named(new QPushButton("&Folder...", this), "Files_Button");
    Files_Button->setToolTip("The folder whose configuration files clients may load and save "
                             "(MMEMory:LOAD:STATe, MMEMory:STORe:STATe).");
    Files_Label = Named(new QLabel(this), "Files_Label");
    Files_Label->setWordWrap(true);
    Local_Button = Named(new QPushButton("&Local", this), "Local_Button");
    Local_Button->setToolTip("Gives the panel's controls back from a client that locked them.");
    Local_Button->setEnabled(false);
    Close_Button = Named(new QPushButton("&Close", this), "Close_Button");

    auto* form = new QFormLayout;
    form->addRow("TCP &port", Port_SpinEdit);
    form->addRow(AllInterfaces_CheckBox);
    form->addRow(Vxi11_CheckBox);
    form->addRow(Hislip_CheckBox);
    form->addRow(Http_CheckBox);
    form->addRow(ServeAtStart_CheckBox);
    form->addRow("Configuration files", Files_Button);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Listen_Button);
    buttons->addWidget(Local_Button);
    buttons->addStretch(1);
    buttons->addWidget(Close_Button);
    auto* page = new QVBoxLayout(this);
    // Never smaller than its texts need (adjustSize alone stops at two thirds
    // of the screen, which cuts them on a small or scaled one).
    page->setSizeConstraint(QLayout::SetMinimumSize);
    page->addLayout(form);
    page->addWidget(Files_Label); // beside the form: a form row gives a wrapped label one line
    page->addWidget(Clients_Label);
    auto* resources = new QHBoxLayout;
    resources->addWidget(Resources_List, 1);
    resources->addWidget(CopyResources_Button, 0, Qt::AlignTop);
    page->addLayout(resources);
    page->addLayout(buttons);

    connect(Listen_Button, &QPushButton::clicked, this, [this] { ListenClicked(); });
    connect(Close_Button, &QPushButton::clicked, this, &QDialog::hide);
    connect(Files_Button, &QPushButton::clicked, this, [this] { ChooseFolder(); });
    connect(Local_Button, &QPushButton::clicked, this, [this] { device_->unlock(); });
    connect(device_.get(), &ScpiDevice::lockChanged, this, [this] { ShowLock(); });
    connect(CopyResources_Button, &QPushButton::clicked, this, [this] {
        QStringList chosen;
        for (const QListWidgetItem* item : Resources_List->selectedItems())
            chosen << item->text();
        const QStringList copied = chosen.isEmpty() ? ResourceStrings() : chosen;
        QGuiApplication::clipboard()->setText(copied.join('\n'));
        emit told(copied.size() == 1 ? "Copied the resource string " + copied.front() + "."
                                     : QString("Copied %1 resource strings.").arg(copied.size()));
    });
    // The operator's choices, as the last run left them; each change kept.
    const SessionMemory::RemoteChoices remembered = SessionMemory::Remote();
    Port_SpinEdit->setValue(remembered.port);
    AllInterfaces_CheckBox->setChecked(remembered.allInterfaces);
    Vxi11_CheckBox->setChecked(remembered.vxi11);
    Hislip_CheckBox->setChecked(remembered.hislip);
    Http_CheckBox->setChecked(remembered.http);
    ServeAtStart_CheckBox->setChecked(remembered.serveAtStart);
    folder_ = remembered.folder;
    device_->setFilesFolder(folder_);
    // Beside another panel's window, a port no other window chose and
    // nothing holds (the first panel's keeps the remembered one where it
    // can); only the first panel remembers.
    if (!first_() || !Forms().empty())
        Port_SpinEdit->setValue(FreePortFrom(remembered.port + (first_() ? 0 : 1)));
    Forms().push_back(this);
    connect(Port_SpinEdit, &QSpinBox::valueChanged, this, [this] { Remember(); });
    for (QCheckBox* box : {AllInterfaces_CheckBox, Vxi11_CheckBox, Hislip_CheckBox, Http_CheckBox,
                           ServeAtStart_CheckBox})
        connect(box, &QCheckBox::toggled, this, [this] { Remember(); });
    ShowFolder();
    ShowResources();
}

// The first port from `from` that no other window has chosen and that
// nothing holds now (5025 again after the last).
int TRemote_Form::FreePortFrom(int from) const {
    for (int port = from; port < from + 200 && port <= 65535; ++port) {
        const bool chosen = std::any_of(Forms().begin(), Forms().end(), [&](TRemote_Form* f) {
            return f != this && f->Port_SpinEdit->value() == port;
        });
        if (!chosen && Bindable(port))
            return port;
    }
    return from;
}

// Who has `port`: another panel's window serving on it, or another program.
QString TRemote_Form::PortHolder(int port) const {
    for (TRemote_Form* f : Forms())
        if (f != this && f->Listening() && f->Port() == port)
            return "Panel " + QString::fromStdString(f->card_.holderName()).section(' ', 1) +
                   " of this program serves on it: choose another port, or stop serving there.";
    if (!Bindable(port))
        return QString("Another program listens on it: choose another port, or stop that "
                       "program (ss -ltnp 'sport = :%1' names it).")
            .arg(port);
    return {};
}

void TRemote_Form::ShowCard() {
    setWindowTitle("Remote Control: " + QString::fromStdString(card_.describe()));
}

void TRemote_Form::showEvent(QShowEvent* event) {
    ShowCard();
    QDialog::showEvent(event);
}

void TRemote_Form::Remember() {
    if (!first_())
        return; // the first panel's choices are the ones remembered
    SessionMemory::SetRemote({Port_SpinEdit->value(), AllInterfaces_CheckBox->isChecked(),
                              Vxi11_CheckBox->isChecked(), Http_CheckBox->isChecked(), folder_,
                              ServeAtStart_CheckBox->isChecked(), Hislip_CheckBox->isChecked()});
}

TRemote_Form::~TRemote_Form() {
    std::erase(Forms(), this);
    if (server_)
        server_->disconnect(this); // its last signals find no half-destroyed window
    device_->disconnect(this);
    if (vxi11_) {
        SharedVxi11().disconnect(this);
        SharedVxi11().removeDevice(*device_);
    }
    if (hislip_) {
        SharedHislip().disconnect(this);
        SharedHislip().removeDevice(*device_);
    }
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
    const auto clients = Clients().size();
    return QString("Remote: %1, %2 client%3")
        .arg(Where())
        .arg(clients)
        .arg(clients == 1 ? "" : "s");
}

// The raw socket's clients, then this card's VXI-11 links and HiSLIP sessions.
QStringList TRemote_Form::Clients() const {
    if (!Listening())
        return {};
    QStringList all = server_->clients();
    const auto add = [&all](const QStringList& links, const QString& device, const char* how) {
        for (const QString& link : links)
            if (link.endsWith(" " + device))
                all << link.chopped(device.size() + 1) + " (" + how + ")";
    };
    if (vxi11_)
        add(SharedVxi11().links(), SharedVxi11().deviceName(*device_), "VXI-11");
    if (hislip_)
        add(SharedHislip().sessions(), SharedHislip().deviceName(*device_), "HiSLIP");
    return all;
}

void TRemote_Form::StopListening() {
    if (!server_)
        return;
    mdns_.reset(); // withdrawn first
    web_.reset();
    server_.reset(); // every client closed, the panel given back
    if (vxi11_) {
        SharedVxi11().removeDevice(*device_); // its links closed
        vxi11_ = false;
        if (!SharedVxi11().serves())
            SharedVxi11().close(); // withdrawn from the port mapper
    }
    if (hislip_) {
        SharedHislip().removeDevice(*device_); // its sessions closed
        hislip_ = false;
        if (!SharedHislip().serves())
            SharedHislip().close();
    }
    serveProblem_.clear();
    Listen_Button->setText("&Start");
    ShowRunning();
    ShowClients();
    ShowLock();
}

void TRemote_Form::ListenClicked() {
    if (Listening())
        StopListening();
    else
        Serve(true);
}

bool TRemote_Form::StartServing() {
    return Listening() || Serve(false);
}

// The raw socket, then VXI-11, HiSLIP and the web page as chosen, then
// the mDNS announcement; listening on every interface is asked first
// unless the operator chose to serve at start.
bool TRemote_Form::Serve(bool ask) {
    const bool everywhere = AllInterfaces_CheckBox->isChecked();
    if (ask && everywhere &&
        AppDialogs().message(this, Dialogs::Kind::Question,
                             "Anyone who can reach this computer on port " +
                                 QString::number(Port_SpinEdit->value()) +
                                 " will control the card. Listen on all network interfaces?") !=
            Dialogs::Answer::Yes)
        return false;
    auto server = std::make_unique<ScpiServer>(*device_);
    QString problem;
    const int port = Port_SpinEdit->value();
    if (!server->listen(ListenAddress(), static_cast<quint16>(port), problem)) {
        const QString holder = PortHolder(port);
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Cannot listen on port " + QString::number(port) + ": " + problem +
                                 (holder.isEmpty() ? QString() : ". " + holder));
        return false;
    }
    server_ = std::move(server);
    if (Vxi11_CheckBox->isChecked())
        StartVxi11();
    if (Hislip_CheckBox->isChecked())
        StartHislip();
    if (Http_CheckBox->isChecked())
        StartWebPages();
    Announce();
    connect(server_.get(), &ScpiServer::clientConnected, this, [this] { ShowClients(); });
    connect(server_.get(), &ScpiServer::clientDisconnected, this, [this] { ShowClients(); });
    Listen_Button->setText("S&top");
    ShowRunning();
    ShowClients();
    emit statusChanged();
    return true;
}

// This card a device of the process's VXI-11 server, which starts with the first.
void TRemote_Form::StartVxi11() {
    Vxi11Server& vxi11 = SharedVxi11();
    serveProblem_.clear();
    QString problem;
    const QHostAddress address = ListenAddress();
    if (!vxi11.listening() && !vxi11.listen(address, 0, problem)) {
        serveProblem_ = "VXI-11 does not serve: " + problem + ". ";
        return;
    }
    vxi11.addDevice(*device_);
    vxi11_ = true;
    connect(&vxi11, &Vxi11Server::linksChanged, this, &TRemote_Form::ShowClients,
            Qt::UniqueConnection);
    // Registered later (another server's entry gone): its string is listed and announced.
    connect(&vxi11, &Vxi11Server::registrationChanged, this, [this] {
        if (!Listening())
            return;
        ShowResources();
        ShowClients();
        if (mdns_)
            Announce();
    });
}

// What VXI-11's clients cannot do, as the port mapper stands now.
QString TRemote_Form::Vxi11Problem() const {
    if (!vxi11_)
        return {};
    const Vxi11Server& vxi11 = SharedVxi11();
    switch (vxi11.registration()) {
    case Vxi11Server::Registration::NoPortMapper:
        return QString("VXI-11 on port %1: no port mapper (rpcbind) answers, so clients that look "
                       "the port up cannot find it. ")
            .arg(vxi11.port());
    case Vxi11Server::Registration::HeldByAnother:
        return QString("VXI-11 on port %1: another VXI-11 server (port %2) holds this computer's "
                       "port mapper entry, so TCPIP::HOST::INSTR reaches that server, not this "
                       "card; this card's is registered once that entry goes. ")
            .arg(vxi11.port())
            .arg(vxi11.portMapperHolder());
    case Vxi11Server::Registration::Registered:
        break;
    }
    return {};
}

// This card a device of the process's HiSLIP server, which starts with the first.
void TRemote_Form::StartHislip() {
    HislipServer& hislip = SharedHislip();
    QString problem;
    const QHostAddress address = ListenAddress();
    if (!hislip.listening() && !hislip.listen(address, HislipServer::kPort, problem) &&
        !hislip.listen(address, 0, problem)) {
        serveProblem_ += "HiSLIP does not serve: " + problem + ". ";
        return;
    }
    hislip.addDevice(*device_);
    hislip_ = true;
    connect(&hislip, &HislipServer::sessionsChanged, this, &TRemote_Form::ShowClients,
            Qt::UniqueConnection);
}

// On the network by mDNS, where an Avahi daemon runs (said once where none does).
void TRemote_Form::Announce() {
    mdns_ = std::make_unique<MdnsPublisher>();
    MdnsPublisher::Services services =
        MdnsPublisher::Services::Of(identity_(), server_->port(),
                                    vxi11_ && SharedVxi11().reachable() ? SharedVxi11().port() : 0,
                                    web_ ? web_->port() : 0, hislip_ ? SharedHislip().port() : 0);
    services.interfaceIndex = MdnsPublisher::InterfaceOf(ListenAddress());
    QString problem;
    if (!mdns_->start(services, problem)) {
        serveProblem_ += "Not announced by mDNS: " + problem + ". ";
        mdns_.reset();
    }
}

// Port 80 where the program may listen on it, else any free one.
void TRemote_Form::StartWebPages() {
    const QHostAddress address = ListenAddress();
    web_ = std::make_unique<LxiWebServer>([this, address] {
        QStringList visa = ResourceStrings();
        visa.removeIf([](const QString& s) { return s.startsWith("http"); });
        return LxiPageOf(card_, HostsReaching(address), visa);
    });
    QString problem;
    if (!web_->listen(address, 80, problem) && !web_->listen(address, 0, problem)) {
        serveProblem_ += "The web page is not served: " + problem + ". ";
        web_.reset();
    }
}

QStringList TRemote_Form::ResourceStrings() const {
    QStringList strings;
    if (!Listening())
        return strings;
    const ServedTransports served{
        server_->port(),
        vxi11_ && SharedVxi11().reachable() ? SharedVxi11().deviceName(*device_) : QString(),
        hislip_ ? SharedHislip().deviceName(*device_) : QString(),
        hislip_ ? SharedHislip().port() : 0};
    for (const QString& host : HostsReaching(ListenAddress())) {
        strings << VisaResources(host, served);
        if (web_)
            strings << QString("http://%1:%2/").arg(host).arg(web_->port());
    }
    return strings;
}

void TRemote_Form::ShowResources() {
    Resources_List->clear();
    Resources_List->addItems(ResourceStrings());
    Resources_List->setEnabled(Listening());
    CopyResources_Button->setEnabled(Listening());
}

// While serving, what serves is shown and cannot be changed under it.
void TRemote_Form::ShowRunning() {
    for (QWidget* choice : std::initializer_list<QWidget*>{
             Port_SpinEdit, AllInterfaces_CheckBox, Vxi11_CheckBox, Hislip_CheckBox, Http_CheckBox})
        choice->setEnabled(!Listening());
    ShowResources();
}

// Every IPv4 interface, or this computer only: the one choice every
// transport listens by (VXI-11's interrupt channel and the web page are IPv4's).
QHostAddress TRemote_Form::ListenAddress() const {
    return AllInterfaces_CheckBox->isChecked() ? QHostAddress::AnyIPv4 : QHostAddress::LocalHost;
}

// "127.0.0.1:5025", or "port 5025 on all interfaces".
QString TRemote_Form::Where() const {
    return AllInterfaces_CheckBox->isChecked()
               ? QString("port %1 on all interfaces").arg(server_->port())
               : QString("127.0.0.1:%1").arg(server_->port());
}

void TRemote_Form::ShowClients() {
    if (!Listening()) {
        Clients_Label->setText("Not listening.");
    } else {
        const QStringList clients = Clients();
        Clients_Label->setText(
            QString("Listening on %1. ").arg(Where()) + Vxi11Problem() + serveProblem_ +
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
    Remember();
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
