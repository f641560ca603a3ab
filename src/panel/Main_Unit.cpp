// Construction of the main window: the frame, the menu, the preview panel,
// the output group and the logo.
#include "Main_Unit.h"
#include "ClockView.h"
#include "OutputView.h"
#include "ReplacedEdits.h"
#include "Startup.h"
#include "StatusStripView.h"
#include "StickyTop.h"
#include "WaveformView.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>

#include "CardState.h"
#include "Commands.h"
#include "ElidedLabel.h"
#include "JpegImage.h"
#include "Main_Controls.h"
#include "Named.h"
#include "PanelWidgets.h"
#include "Remote_Unit.h"
#include "SessionMemory.h"
#include "SettingRanges.h"
#include "WindowPlacement.h"

TMain_Form::TMain_Form(QWidget* parent)
    : QMainWindow(parent), replaced_(std::make_unique<ReplacedEdits>()) {
    setObjectName("Main_Form");
    // Told of a change before its views, which draw it, and after them
    // (followed_): what the change replaced is taken first, what it said last.
    card_.subscribe(*this);
    // The panel was laid out for an 8-point face; larger faces would not fit its fixed size.
    QFont face = font();
    face.setPointSize(8);
    setFont(face);

    CreateMenu();

    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusText = Named(new TElidedLabel(StatusBar1, Qt::ElideLeft), "StatusBar1_Panel0");
    StatusText->setFullText("Selected Card: No card selected");
    // As wide as its text; the feedback field takes the rest of the bar.
    StatusText->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    StatusBar1->addWidget(StatusText);
    CreateFeedbackField();
    setStatusBar(StatusBar1);

    // The client area holds the status bar, as the window's fixed size counts it.
    // It lies in a scroll area that scrolls only on a screen too small for it.
    auto* client = Named(new QWidget, "Client");
    client->setFixedSize(kClientWidth, kClientHeight - StatusBar1->sizeHint().height());
    Client_ScrollArea = Named(new QScrollArea(this), "Client_ScrollArea");
    Client_ScrollArea->setFrameShape(QFrame::NoFrame);
    Client_ScrollArea->setWidget(client);
    setCentralWidget(Client_ScrollArea);

    Channel_PageControl = Named(new QTabWidget(client), "Channel_PageControl");
    Channel_PageControl->setGeometry(4, 4, kClientWidth - 8, client->height() - 6);
    Ch1_TabSheet = Named(new QWidget, "Ch1_TabSheet");
    Ch2_TabSheet = Named(new QWidget, "Ch2_TabSheet");
    Ch3_TabSheet = Named(new QWidget, "Ch3_TabSheet");
    Channel_PageControl->addTab(Ch1_TabSheet, "Channel 1");
    Channel_PageControl->addTab(Ch2_TabSheet, "Channel 2");
    Channel_PageControl->addTab(Ch3_TabSheet, "Channel 3");

    // The tabs carry no controls: one set of controls above them serves every channel.
    CreatePreview(client);
    CreateOutputGroup(client);
    CreateLogo(client);
    CreateSettings(client);
    WatchStepKeyClicks();
    SetRangeToolTips();
    CreateSendKeys();
    WatchUnsentEdits();
    CreateStatusStrip(client);
    // On a screen too small for the panel the pages scroll under the tabs
    // and the strip, which stay in view.
    new StickyTop(Client_ScrollArea, Channel_PageControl,
                  {client->findChild<QWidget*>("ChannelStatus_Panel")});

    FormCreate();
    followed_ = std::make_unique<Followed>(*this);

    connect(Channel_PageControl, &QTabWidget::currentChanged, this,
            [this] { Channel_PageControlChange(); });
    connect(Settings_PageControl, &QTabWidget::currentChanged, this,
            [this] { Settings_PageControlChange(); });

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        FitInto(screen->availableGeometry());
        move(screen->availableGeometry().center() - rect().center());
    }
}

// The whole panel at its fixed size where the area holds it; on a smaller
// area (a small screen, a large scale) the window takes what the area has,
// can be resized up to the whole panel, and the panel scrolls inside it, the
// menu and the status bar staying in view.
void TMain_Form::FitInto(const QRect& area) {
    QWidget* client = Client_ScrollArea->widget();
    const QSize whole(client->width(), menuBar()->sizeHint().height() + client->height() +
                                           StatusBar1->sizeHint().height());
    // The frame the window manager adds: known once shown, else a title bar's worth.
    const QSize frame = isVisible() ? frameGeometry().size() - size()
                                    : QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QSize room = area.size() - frame;
    const bool fits = whole.width() <= room.width() && whole.height() <= room.height();
    const Qt::ScrollBarPolicy bars = fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    Client_ScrollArea->setHorizontalScrollBarPolicy(bars);
    Client_ScrollArea->setVerticalScrollBarPolicy(bars);
    if (fits) {
        setFixedSize(whole);
    } else {
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const QSize most = whole + QSize(bar, bar);
        setMinimumSize(std::min(most.width(), 320), std::min(most.height(), 240));
        setMaximumSize(most);
        resize(most.boundedTo(room));
    }
    layout()->activate();
    // Its place was chosen for the size it had: the whole of it stays in the area.
    if (isVisible())
        MoveInside(this, area);
}

TMain_Form::~TMain_Form() {
    FormClose();
    // Its servers (the web front panel among them) follow the card: gone before it.
    delete remoteForm_;
    remoteForm_ = nullptr;
    followed_.reset();
    strip_.reset(); // the views of the card, gone before it
    delete wave_;
    delete clock_;
    delete output_;
    wave_ = nullptr;
    clock_ = nullptr;
    output_ = nullptr;
    card_.unsubscribe(*this);
}

void TMain_Form::AttachForms(TExternalClk_Form* extClk, TCard_Form* card, TAbout_Form* about,
                             TLog_Form* log, TMemTest_Form* memTest) {
    extClkForm_ = extClk;
    cardForm_ = card;
    aboutForm_ = about;
    logForm_ = log;
    memTestForm_ = memTest;
}

void TMain_Form::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    // Every menu and item has its mnemonic ("&"); the captions are otherwise as designed.
    QMenu* file = Named(bar->addMenu("&File"), "File1");
    // Another panel, for another card of this process.
    NewWindow1 = Named(file->addAction("&New Window"), "NewWindow1");
    NewWindow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    file->addSeparator();
    LoadConfig1 = Named(file->addAction("&Load Config"), "LoadConfig1");
    LoadConfig1->setShortcut(QKeySequence::Open);
    ApplyConfig1 = Named(file->addAction("&Apply Config to Card..."), "ApplyConfig1");
    SaveConfig1 = Named(file->addAction("&Save Config"), "SaveConfig1");
    SaveConfig1->setShortcut(QKeySequence::Save);
    file->addSeparator();
    // The configurations used last, the latest first.
    const char* recent[] = {"RecentConfig1", "RecentConfig2", "RecentConfig3", "RecentConfig4"};
    for (int i = 0; i < SessionMemory::kRecentConfigs; ++i) {
        RecentConfig[i] = Named(file->addAction(QString()), recent[i]);
        connect(RecentConfig[i], &QAction::triggered, this, [this, i] { RecentConfigClick(i); });
    }
    file->addSeparator();
    Exit1 = Named(file->addAction("E&xit"), "Exit1");
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Card1 = Named(bar->addAction("&Card Select"), "Card1");
    QMenu* options = Named(bar->addMenu("&Options"), "Options1");
    QMenu* clock = Named(options->addMenu("DDS &Ref Clock Source"), "DDSRefClockSource1");
    InternalClk_MenuItem = Named(clock->addAction("&Internal (PXI 10MHz)"), "InternalClk_MenuItem");
    ExternalClk_MenuItem = Named(clock->addAction("&External (Unknown)"), "ExternalClk_MenuItem");
    // A radio pair that shows no check mark until one of them is used.
    auto* reference = new QActionGroup(this);
    reference->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* item : {InternalClk_MenuItem, ExternalClk_MenuItem}) {
        item->setCheckable(true);
        reference->addAction(item);
    }
    MemoryTest1 = Named(options->addAction("Perform &Memory Test"), "MemoryTest1");
    ReadCalibrationDate1 =
        Named(options->addAction("Read Calibration &Date"), "ReadCalibrationDate1");
    Log1 = Named(options->addAction("Operation &Log"), "Log1");
    WaveBuilder1 = Named(options->addAction("&Waveform Builder..."), "WaveBuilder1");
    RemoteControl1 = Named(options->addAction("Remote &Control..."), "RemoteControl1");
    About1 = Named(bar->addAction("&About"), "About1");

    connect(NewWindow1, &QAction::triggered, this, [this] { OpenAnotherPanel(*this); });
    connect(LoadConfig1, &QAction::triggered, this, [this] { LoadConfig1Click(); });
    connect(ApplyConfig1, &QAction::triggered, this, [this] { ApplyConfig1Click(); });
    connect(SaveConfig1, &QAction::triggered, this, [this] { SaveConfig1Click(); });
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(InternalClk_MenuItem, &QAction::triggered, this, [this] { UseInternalClock(); });
    connect(ExternalClk_MenuItem, &QAction::triggered, this, [this] { UseExternalClock(); });
    connect(Card1, &QAction::triggered, this, [this] { Card1Click(); });
    connect(Log1, &QAction::triggered, this, [this] { Log1Click(); });
    connect(WaveBuilder1, &QAction::triggered, this, [this] { WaveBuilder1Click(); });
    connect(RemoteControl1, &QAction::triggered, this, [this] { RemoteControl1Click(); });
    connect(MemoryTest1, &QAction::triggered, this, [this] { MemoryTest1Click(); });
    connect(ReadCalibrationDate1, &QAction::triggered, this,
            [this] { ReadCalibrationDate1Click(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
}

std::function<void(const std::function<void()>&)> TMain_Form::AsOwnOperation() {
    return [this](const std::function<void()>& body) {
        OwnOperation own(*this);
        body();
    };
}

void TMain_Form::CreateOutputGroup(QWidget* client) {
    output_ = new OutputView(
        client, card_, marks_, [this] { return ActiveChannelNumber(); }, AsOwnOperation(), this);
}

void TMain_Form::CreateLogo(QWidget* client) {
    // The status bar takes more height here than in the design: the panel
    // keeps clear of the channel tabs' frame by giving up some of its margin.
    const int room = Channel_PageControl->geometry().bottom() - 6 - 552 + 1;
    const int height = std::clamp(room, 81 + 4, 97);
    Panel2 = Named(new QFrame(client), "Panel2");
    Panel2->setGeometry(32, 552, 521, height);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Image1 = Named(new TImage(Panel2), "Image1");
    Image1->setGeometry((521 - 449) / 2, (height - 81) / 2, 449, 81);
    Image1->setAccessibleName("Norvale");
    Q_INIT_RESOURCE(panel);
    QFile logo(":/nv815/norvale_logo.jpg");
    if (logo.open(QIODevice::ReadOnly))
        Image1->setPicture(DecodeJpeg(logo.readAll())); // a picture that fails stays empty
}

ViewHost TMain_Form::Host() {
    return ViewHost{card_,
                    marks_,
                    [this] { return ActiveChannelNumber(); },
                    AsOwnOperation(),
                    [this] {
                        if (wave_ && clock_) // not while the pages are being made
                            RefreshUnsentMarks();
                    },
                    [this] { UpdateControlValues(); },
                    [this](const std::vector<TFrequencySpinEdit*>& fields) {
                        return FrequenciesReadable(fields);
                    },
                    [this](int channel, const QString& what) {
                        failureThisAction_ = false; // an action begins
                        return [this, channel, what](const std::string& problem) {
                            ShowProblem(channel, what, problem);
                        };
                    },
                    [this](std::initializer_list<Refresh> refreshes) {
                        for (Refresh r : refreshes)
                            r == Refresh::AllControls     ? UpdateAllControls()
                            : r == Refresh::ControlValues ? UpdateControlValues()
                                                          : UpdateModeLEDs();
                    },
                    this};
}

// The pages are views of the card that run their Updates; the window reads
// and writes the Arbitrary page's files, whose failures its status field reports.
void TMain_Form::CreateSettings(QWidget* client) {
    Settings_PageControl = Named(new QTabWidget(client), "Settings_PageControl");
    Settings_PageControl->setGeometry(584, 32, 234, client->height() - 38);
    wave_ = new WaveformView(Host());
    clock_ = new ClockView(Host());
    Settings_PageControl->addTab(wave_->page(), "Wave_TabSheet");
    Settings_PageControl->addTab(clock_->page(), "Clk_TabSheet");
    wave_->onFiles([this](bool text) { Import_ButtonClick(text); },
                   [this](bool text) { Save_ButtonClick(text); });
}

QImage& TMain_Form::LogoPicture() {
    return Image1->picture();
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Main_Unit.cpp"
