#include "About_Unit.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QUrl>

#include "Card.h"
#include "CardUse.h"
#include "Named.h"
#include "SessionCalls.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"

const char* const kMakerWebAddress = "https://www.example.com/norvale";

namespace {

// The build date of this version.
constexpr uint16_t kBuildDay = 25, kBuildMonth = 2, kBuildYear = 2013;

QString DriverLine(const Card* card) {
    const QString title = "Norvale Driver nv815_32.dll : ";
    if (!DriverLoaded)
        return title + "Not Loaded";
    if (!card || card->session() == 0)
        return title + "Loaded";
    return title + "V" + QString::fromLocal8Bit(DriverRevision(*card).c_str());
}

QString VisaLine() {
    if (!VisaLoaded)
        return "VISA Driver: Not Loaded ";
    const VisaLibraryInfo visa = VisaLibraryIdentity();
    const ViUInt32 version = visa.version;
    const QString name = QString::fromLocal8Bit(visa.vendor.c_str()).left(33);
    return "VISA Driver: " + name + " V" + QString::number(version >> 20) + "." +
           QString::number((version >> 8) & 0xFFF) + "." + QString::number(version & 0xFF);
}

} // namespace

TAbout_Form::TAbout_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("About_Form");
    setWindowTitle("About");
    // A title bar without buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    QFont face = font();
    face.setPointSize(8);
    setFont(face);

    Image1 = Named(new QLabel(this), "Image1");
    // The memo's width is 7 more than a multiple of the 8-point size, so the
    // dash line its width gives (2 x width div size + 1 dashes) fits in it.
    constexpr int kWidth = 271;
    Image1->setGeometry(12, 12, kWidth, 48);
    Image1->setScaledContents(true); // stretched
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QString("Click Here To Visit ") + kMakerWebAddress);
    Image1->setAccessibleName("Norvale");
    Image1->installEventFilter(this);
    Label1 = Named(new QLabel(this), "Label1");
    Label1->setGeometry(12, 66, kWidth, 18);
    About_Memo = Named(new QPlainTextEdit(this), "About_Memo");
    About_Memo->setGeometry(12, 90, kWidth, 210);
    About_Memo->setReadOnly(true);
    About_Memo->document()->setDocumentMargin(0);
    About_Memo->setWordWrapMode(QTextOption::WordWrap); // long lines wrap, the dash line does not
    About_Memo->setPlainText(QString("This program is for the control of Norvale \n"
                                     "72-815 and 82-815 Function Generator cards.\n"
                                     "\n"
                                     "For the latest drivers and software updates visit \n") +
                             kMakerWebAddress);
    OK_Button = Named(new QPushButton("OK", this), "OK_Button");
    OK_Button->setGeometry(12 + (kWidth - 75) / 2, 308, 75, 25);
    OK_Button->setDefault(true);
    setFixedSize(kWidth + 24, 345);
    designText_ = About_Memo->toPlainText();
    connect(OK_Button, &QPushButton::clicked, this, [this] { hide(); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAbout_Form::SetLogo(const QImage& logo) {
    Image1->setPixmap(QPixmap::fromImage(logo));
}

void TAbout_Form::ShowAbout() {
    // An open box is only raised: showing it again would build its text anew
    // on platforms that send a visible window another show event.
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

QString TAbout_Form::Separator() const {
    const int points = std::max(About_Memo->font().pointSize(), 1);
    return QString(2 * (About_Memo->width() / points) + 1, '-');
}

void TAbout_Form::showEvent(QShowEvent* event) {
    // Built only when the box goes from hidden to visible: an open box keeps
    // showing the state of the moment it opened.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TAbout_Form::FormShow() {
    const QString separator = Separator();
    QStringList lines = {designText_, separator,
                         "SW Version 1.46 " + QString::number(kBuildDay) + "-" +
                             QString::number(kBuildMonth) + "-" + QString::number(kBuildYear),
                         QString()};
    Label1->setText(parentWidget() ? parentWidget()->windowTitle() : QString());
    lines << DriverLine(card_) << QString() << VisaLine() << separator;
    About_Memo->setPlainText(lines.join('\n'));
}

bool TAbout_Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        OpenMakerSite();
    return QDialog::eventFilter(watched, event);
}

void TAbout_Form::OpenMakerSite() {
    QDesktopServices::openUrl(QUrl(kMakerWebAddress)); // the result is not looked at
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_About_Unit.cpp"
