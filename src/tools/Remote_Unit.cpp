#include "Remote_Unit.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTcpServer>
#include <QVBoxLayout>

#include "Card.h"
#include "Credentials.h"
#include "Dialogs.h"
#include "Named.h"
#include "OperationLog.h"
#include "ScpiDevice.h"
#include "Serving.h"
#include "SessionMemory.h"
#include "TlsIdentity.h"
#include "Users_Unit.h"

namespace {

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
      device_(std::make_unique<ScpiDevice>([this] { return &card_; }, identity_)),
      serving_(std::make_unique<Serving>(*device_, card_)) {
    setObjectName("Remote_Form");
    setWindowTitle("Remote Control");
    Port_SpinEdit = Named(new QSpinBox(this), "Port_SpinEdit");
    Port_SpinEdit->setRange(1, 65535);
    Port_SpinEdit->setValue(5025);
    Port_SpinEdit->setAccessibleName("TCP port");
    AllInterfaces_CheckBox =
        Named(new QCheckBox("Listen on all network interfaces", this), "AllInterfaces_CheckBox");
    for (const TransportKind& kind : Transports())
        if (!kind.required) {
            auto* box = new QCheckBox(kind.checkBoxText, this);
            box->setObjectName(kind.checkBoxName);
            box->setToolTip(kind.toolTip);
            transportBoxes_.emplace_back(&kind, box);
        }
    ServeAtStart_CheckBox =
        Named(new QCheckBox("Serve when the program starts", this), "ServeAtStart_CheckBox");
    Allow_LineEdit = Named(new QLineEdit(this), "Allow_LineEdit");
    Allow_LineEdit->setAccessibleName("Let in only");
    Allow_LineEdit->setPlaceholderText("anyone who reaches the port");
    Allow_LineEdit->setToolTip("The clients let in on every protocol: addresses and networks, "
                               "such as 127.0.0.1,10.1.0.0/16,::1. Empty: anyone who reaches "
                               "the port.");
    Secure_CheckBox = Named(new QCheckBox("Secure mode: HiSLIP with TLS and HTTPS only", this),
                            "Secure_CheckBox");
    Secure_CheckBox->setToolTip("Serves only HiSLIP's secure connection and the pages over "
                                "HTTPS, each client authenticated; the raw socket, VXI-11 and "
                                "plain HTTP are off.");
    QueriesOpen_CheckBox = Named(new QCheckBox("Clients not signed in may ask the card", this),
                                 "QueriesOpen_CheckBox");
    QueriesOpen_CheckBox->setToolTip("With users to sign in: whether the others may still send "
                                     "queries (they may never change the card).");
    Users_Button = Named(new QPushButton("&Users...", this), "Users_Button");
    Users_Button->setToolTip("The users who may change the card over the network.");
    Users_Label = Named(new QLabel(this), "Users_Label");
    Users_Label->setWordWrap(true);
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
    form->addRow("Let &in only", Allow_LineEdit);
    for (const auto& [kind, box] : transportBoxes_)
        form->addRow(box);
    form->addRow(Secure_CheckBox);
    form->addRow(QueriesOpen_CheckBox);
    form->addRow("Sign-in", Users_Button);
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
    page->addWidget(Users_Label);
    page->addWidget(Clients_Label);
    auto* resources = new QHBoxLayout;
    resources->addWidget(Resources_List, 1);
    resources->addWidget(CopyResources_Button, 0, Qt::AlignTop);
    page->addLayout(resources);
    page->addLayout(buttons);

    connect(Listen_Button, &QPushButton::clicked, this, [this] { ListenClicked(); });
    connect(Close_Button, &QPushButton::clicked, this, &QDialog::hide);
    connect(Files_Button, &QPushButton::clicked, this, [this] { ChooseFolder(); });
    connect(Users_Button, &QPushButton::clicked, this, [this] { OpenUsers(); });
    connect(serving_.get(), &Serving::identifyAsked, this, &TRemote_Form::identifyAsked);
    connect(serving_.get(), &Serving::signInAttempted, this,
            [this](const QString& peer, const QString& transport, const QString& user,
                   const QString& why) {
                // Each sign-in in the card's operation log; a failure counted here too.
                const QString who = user.isEmpty() ? QString("nobody") : user;
                AddCardNote((why.isEmpty()
                                 ? "Signed in: " + who + " from " + peer + " over " + transport
                                 : QString("Sign-in failed: %1 from %2 over %3: %4 (%5 "
                                           "failed since the start)")
                                       .arg(who, peer, transport, why)
                                       .arg(serving_->failedSignIns()))
                                .toStdString(),
                            card_.link().cardTag());
                if (why.isEmpty())
                    return;
                lastFailedSignIn_ = user + " from " + peer + " over " + transport + ": " + why;
                ShowClients();
            });
    connect(Local_Button, &QPushButton::clicked, this, [this] { device_->unlock(); });
    connect(device_.get(), &ScpiDevice::lockChanged, this, [this] { ShowLock(); });
    connect(serving_.get(), &Serving::clientsChanged, this, &TRemote_Form::ShowClients);
    connect(serving_.get(), &Serving::clientRefused, this,
            [this](const QString& peer, const QString& transport, const QString& why) {
                lastRefused_ = peer + " over " + transport + ": " + why;
                ShowClients();
            });
    // Reached again, or not any more (another server's entry gone): listed and said.
    connect(serving_.get(), &Serving::reachChanged, this, [this] {
        ShowResources();
        ShowClients();
    });
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
    QMap<QString, bool> keys;
    for (const auto& [kind, box] : transportBoxes_)
        keys[kind->key] = kind->onByDefault;
    const SessionMemory::RemoteChoices remembered = SessionMemory::Remote(keys);
    Port_SpinEdit->setValue(remembered.port);
    AllInterfaces_CheckBox->setChecked(remembered.allInterfaces);
    Allow_LineEdit->setText(remembered.allow);
    for (const auto& [kind, box] : transportBoxes_)
        box->setChecked(remembered.transports.value(kind->key));
    ServeAtStart_CheckBox->setChecked(remembered.serveAtStart);
    Secure_CheckBox->setChecked(remembered.secure);
    QueriesOpen_CheckBox->setChecked(remembered.queriesOpen);
    ShowUsers();
    folder_ = remembered.folder;
    device_->setFilesFolder(folder_);
    // Beside another panel's window, a port no other window chose and
    // nothing holds (the first panel's keeps the remembered one where it
    // can); only the first panel remembers.
    if (!first_() || !Forms().empty())
        Port_SpinEdit->setValue(FreePortFrom(remembered.port + (first_() ? 0 : 1)));
    Forms().push_back(this);
    connect(Port_SpinEdit, &QSpinBox::valueChanged, this, [this] { Remember(); });
    connect(Allow_LineEdit, &QLineEdit::editingFinished, this, [this] { Remember(); });
    for (QCheckBox* box :
         {AllInterfaces_CheckBox, ServeAtStart_CheckBox, Secure_CheckBox, QueriesOpen_CheckBox})
        connect(box, &QCheckBox::toggled, this, [this] { Remember(); });
    for (const auto& [kind, box] : transportBoxes_)
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
    SessionMemory::RemoteChoices choices{Port_SpinEdit->value(),
                                         AllInterfaces_CheckBox->isChecked(),
                                         {},
                                         folder_,
                                         ServeAtStart_CheckBox->isChecked(),
                                         Allow_LineEdit->text().trimmed(),
                                         Secure_CheckBox->isChecked(),
                                         QueriesOpen_CheckBox->isChecked()};
    for (const auto& [kind, box] : transportBoxes_)
        choices.transports[kind->key] = box->isChecked();
    SessionMemory::SetRemote(choices);
}

TRemote_Form::~TRemote_Form() {
    std::erase(Forms(), this);
    // A field losing its focus as the window goes tells no half-destroyed window.
    Allow_LineEdit->disconnect(this);
    // Its last signals find no half-destroyed window.
    serving_->disconnect(this);
    device_->disconnect(this);
    serving_.reset();
}

bool TRemote_Form::Listening() const {
    return serving_->listening();
}

// The raw socket's, or in secure mode HiSLIP's.
quint16 TRemote_Form::Port() const {
    return serving_->port("raw") ? serving_->port("raw") : serving_->port("hislip");
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
    return serving_->clients();
}

void TRemote_Form::StopListening() {
    if (!Listening())
        return;
    serving_->stop(); // every client closed, the panel given back
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

// The raw socket, then each transport chosen, then the mDNS announcement;
// listening on every interface is asked first unless the operator chose to
// serve at start.
bool TRemote_Form::Serve(bool ask) {
    const bool everywhere = AllInterfaces_CheckBox->isChecked();
    if (ask && everywhere &&
        AppDialogs().message(this, Dialogs::Kind::Question,
                             "Anyone who can reach this computer on port " +
                                 QString::number(Port_SpinEdit->value()) +
                                 " will control the card. Listen on all network interfaces?") !=
            Dialogs::Answer::Yes)
        return false;
    QString problem;
    const auto allow = clients::AllowList::Parse(Allow_LineEdit->text(), problem);
    if (!allow) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Not served: in \"Let in only\", " + problem + ".");
        return false;
    }
    ServeOptions options;
    options.addresses = {ListenAddress()};
    options.allow = *allow;
    options.users = Credentials::DefaultFile();
    options.secure = Secure_CheckBox->isChecked();
    options.queriesOpen = QueriesOpen_CheckBox->isChecked();
    lastRefused_.clear();
    lastFailedSignIn_.clear();
    options.files = folder_;
    const int port = Port_SpinEdit->value();
    options.transports["raw"] = port;
    for (const auto& [kind, box] : transportBoxes_)
        if (box->isChecked() || (options.secure && kind->secure))
            options.transports[kind->key] = -1;
    if (!serving_->start(options, problem)) {
        const QString holder = PortHolder(port);
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Cannot listen on port " + QString::number(port) + ": " + problem +
                                 (holder.isEmpty() ? QString() : ". " + holder));
        return false;
    }
    Listen_Button->setText("S&top");
    ShowRunning();
    ShowClients();
    emit statusChanged();
    return true;
}

// What does not serve, what clients cannot do, and what is not announced.
QString TRemote_Form::Problems() const {
    QStringList said = serving_->problems();
    for (const Serving::Failure& f : serving_->failures()) {
        QString title = f.kind->title;
        title[0] = title[0].toUpper();
        said << title + " is not served: " + f.problem + ".";
    }
    if (!serving_->announced())
        said << "Not announced by mDNS: " + serving_->announceProblem() + ".";
    if (const int refused = serving_->refusedCount())
        said << QString("Refused %1 (the last: %2).").arg(refused).arg(lastRefused_);
    return said.isEmpty() ? QString() : said.join(' ') + ' ';
}

QStringList TRemote_Form::ResourceStrings() const {
    return serving_->resourceStrings();
}

void TRemote_Form::ShowResources() {
    Resources_List->clear();
    Resources_List->addItems(ResourceStrings());
    Resources_List->setEnabled(Listening());
    CopyResources_Button->setEnabled(Listening());
}

// While serving, what serves is shown and cannot be changed under it.
void TRemote_Form::ShowRunning() {
    for (QWidget* choice :
         std::initializer_list<QWidget*>{Port_SpinEdit, AllInterfaces_CheckBox, Allow_LineEdit,
                                         Secure_CheckBox, QueriesOpen_CheckBox})
        choice->setEnabled(!Listening());
    for (const auto& [kind, box] : transportBoxes_)
        box->setEnabled(!Listening());
    ShowResources();
}

// Every IPv4 interface, or this computer only: the one choice every
// transport listens by (VXI-11's interrupt channel and the web page are IPv4's).
QHostAddress TRemote_Form::ListenAddress() const {
    return AllInterfaces_CheckBox->isChecked() ? QHostAddress::AnyIPv4 : QHostAddress::LocalHost;
}

// "127.0.0.1:5025", or "port 5025 on all interfaces".
QString TRemote_Form::Where() const {
    return AllInterfaces_CheckBox->isChecked() ? QString("port %1 on all interfaces").arg(Port())
                                               : QString("127.0.0.1:%1").arg(Port());
}

void TRemote_Form::ShowClients() {
    if (!Listening()) {
        Clients_Label->setText("Not listening.");
    } else {
        const QStringList clients = Clients();
        Clients_Label->setText(
            QString("Listening on %1. ").arg(Where()) +
            (Allow_LineEdit->text().trimmed().isEmpty()
                 ? QString()
                 : "Only " + Allow_LineEdit->text().trimmed() + " let in. ") +
            Problems() + SignIns() +
            (clients.isEmpty() ? QString("No client.") : "Clients: " + clients.join(", ") + "."));
    }
    Clients_Label->setAccessibleName(Clients_Label->text());
    adjustSize(); // many clients: the window grows to show them all
    emit statusChanged();
}

// The certificate clients pin, and the sign-ins that failed.
QString TRemote_Form::SignIns() const {
    QString said;
    if (const QStringList off = serving_->leftOff(); !off.isEmpty())
        said +=
            "Secure mode: " +
            (off.size() > 1 ? off.mid(0, off.size() - 1).join(", ") + " and " + off.back() + " are"
                            : off.front() + " is") +
            " off. ";
    if (const TlsIdentity* tls = serving_->tls())
        said += "TLS certificate " + tls->fingerprint + ". ";
    if (const int failed = serving_->failedSignIns(); failed > 0)
        said += QString("Failed sign-ins: %1 (the last: %2). ").arg(failed).arg(lastFailedSignIn_);
    return said;
}

// Who may change the card: the users of the users file, or anyone let in.
void TRemote_Form::ShowUsers() {
    Credentials users;
    QString error;
    const QString file = Credentials::DefaultFile();
    if (!users.load(file, error))
        Users_Label->setText("The users cannot be read (" + error +
                             "): sign-in cannot be asked for.");
    else if (users.empty())
        Users_Label->setText("No users: whoever is let in may change the card (Users... adds "
                             "those who may).");
    else
        Users_Label->setText("Only " + users.users().join(", ") +
                             ", signed in over HiSLIP's secure connection or on the web front "
                             "panel, may change the card.");
    Users_Label->setAccessibleName(Users_Label->text());
}

void TRemote_Form::OpenUsers() {
    if (!users_) {
        users_ = new TUsers_Form(Credentials::DefaultFile(), this);
        connect(users_, &TUsers_Form::changed, this, [this] {
            QString error;
            if (Listening() && !serving_->reloadUsers(error))
                AppDialogs().message(this, Dialogs::Kind::Error,
                                     "The users are not taken: " + error + ".");
            ShowUsers();
            ShowClients();
        });
    }
    users_->show();
    users_->raise();
    users_->activateWindow();
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

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Remote_Unit.cpp"
