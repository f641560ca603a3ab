// Construction of the Waveform Builder window.
#include "WaveBuilder_Unit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "Display_Unit.h"
#include "ElidedLabel.h"
#include "Named.h"
#include "PanelWidgets.h"
#include "WaveParse.h"

namespace {

constexpr int kPreviewWidth = 400, kPreviewHeight = 160;

QLabel* Note(QWidget* parent, const char* name, const QString& text = QString()) {
    QLabel* label = Named(new QLabel(text, parent), name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TWaveBuilder_Form::TWaveBuilder_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("WaveBuilder_Form");
    setWindowTitle("Waveform Builder");
    setModal(false);
    setMinimumWidth(540); // the format and sound file lines fit on one line
    auto* layout = new QVBoxLayout(this);
    Source_TabWidget = Named(new QTabWidget(this), "Source_TabWidget");
    Source_TabWidget->addTab(CreateExpressionPage(), "&Expression");
    Source_TabWidget->addTab(CreateCsvPage(), "CSV / &TSV");
    Source_TabWidget->addTab(CreateWavPage(), "&WAV");
    layout->addWidget(Source_TabWidget);
    CreateOutput();
    connect(Source_TabWidget, &QTabWidget::currentChanged, this, [this] {
        ShowSourceLength();
        Rebuild();
    });
    Rebuild();
}

TWaveBuilder_Form::~TWaveBuilder_Form() = default;

QWidget* TWaveBuilder_Form::CreateExpressionPage() {
    auto* page = Named(new QWidget, "Expression_Page");
    auto* form = new QFormLayout(page);
    Expression_Edit = Named(new QLineEdit("sin(2*pi*t)", page), "Expression_Edit");
    Expression_Edit->setAccessibleName("Expression");
    Expression_Edit->setToolTip(
        "t = n/N runs over one period (0 to one step before 1), n is the sample number.\n"
        "Functions: sin cos tan exp ln log10 sqrt abs sign rint floor min max, pi, rand() "
        "(fixed seed),\nsquare(t, duty) and tri(t, sym) (duty and sym as fractions 0..1), "
        "operators + - * / ^ and ?:.");
    form->addRow("f(t, n) =", Expression_Edit);
    ExpressionError_Label = Note(page, "ExpressionError_Label");
    ExpressionError_Label->setStyleSheet("color: #b00000");
    form->addRow(ExpressionError_Label);
    form->addRow(Note(page, "ExpressionHelp_Label",
                      "One period: t from 0 to one step before 1. Example: "
                      "sin(2*pi*t) + 0.3*square(3*t, 0.5)"));
    connect(Expression_Edit, &QLineEdit::textChanged, this, [this] { Rebuild(); });
    return page;
}

namespace {

// The names and captions of a page whose source is a file.
struct FilePageText {
    const char *page, *button, *buttonName, *fileName, *info, *infoName, *choice, *choiceName,
        *choiceAccessible;
};

struct FilePage {
    QWidget* page;
    QPushButton* open;
    TElidedLabel *file, *info;
    QComboBox* choice;
};

// One line that shows what room it has, "..." where it is cut, the whole
// text in its tooltip.
TElidedLabel* Line(QWidget* parent, const char* name, const QString& text, Qt::TextElideMode mode) {
    auto* label = Named(new TElidedLabel(parent, mode), name);
    label->setFullText(text);
    return label;
}

// A button that opens the file, its name, what it holds, and what to take from it.
FilePage CreateFilePage(const FilePageText& t) {
    FilePage p;
    p.page = Named(new QWidget, t.page);
    auto* form = new QFormLayout(p.page);
    p.open = Named(new QPushButton(t.button, p.page), t.buttonName);
    p.file = Line(p.page, t.fileName, "No file opened.", Qt::ElideMiddle);
    form->addRow(p.open, p.file);
    p.info = Line(p.page, t.infoName, QString(), Qt::ElideRight);
    form->addRow(t.info, p.info);
    p.choice = Named(new QComboBox(p.page), t.choiceName);
    p.choice->setAccessibleName(t.choiceAccessible);
    form->addRow(t.choice, p.choice);
    return p;
}

} // namespace

QWidget* TWaveBuilder_Form::CreateCsvPage() {
    const FilePage p =
        CreateFilePage({"Csv_Page", "&Open CSV/TSV File...", "OpenCsv_Button", "CsvFile_Label",
                        "Format:", "CsvFormat_Label", "&Column:", "CsvColumn_ComboBox", "Column"});
    OpenCsv_Button = p.open;
    CsvFile_Label = p.file;
    CsvFormat_Label = p.info;
    CsvColumn_ComboBox = p.choice;
    connect(CsvColumn_ComboBox, &QComboBox::currentIndexChanged, this, [this] {
        ReadCsvColumnChosen();
        Rebuild();
    });
    return p.page;
}

QWidget* TWaveBuilder_Form::CreateWavPage() {
    const FilePage p = CreateFilePage({"Wav_Page", "O&pen Sound File...", "OpenWav_Button",
                                       "WavFile_Label", "Holds:", "WavInfo_Label",
                                       "C&hannel:", "WavChannel_ComboBox", "Sound channel"});
    OpenWav_Button = p.open;
    WavFile_Label = p.file;
    WavInfo_Label = p.info;
    WavChannel_ComboBox = p.choice;
    connect(WavChannel_ComboBox, &QComboBox::currentIndexChanged, this, [this] {
        ReadWavChannelChosen();
        Rebuild();
    });
    return p.page;
}

void TWaveBuilder_Form::CreateOutput() {
    auto* settings = new QFormLayout;
    Length_ComboBox = Named(new QComboBox(this), "Length_ComboBox");
    for (int n = 2; n <= WaveMemorySize; n *= 2)
        Length_ComboBox->addItem(QString::number(n));
    Length_ComboBox->setCurrentText("1024");
    Length_ComboBox->setToolTip("Samples of the waveform: a power of two from 2 to 262144, "
                                "kept for each source. A file's values are resampled to it "
                                "(linear interpolation); opening a file sets it to the largest "
                                "power of two at or below the file's length.");
    settings->addRow("&Samples:", Length_ComboBox);
    Scale_ComboBox = Named(new QComboBox(this), "Scale_ComboBox");
    Scale_ComboBox->addItems({"Normalise to 0..100 %", "Values are percent"});
    settings->addRow("Sca&ling:", Scale_ComboBox);
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addLayout(settings);

    auto* screen = Named(new QFrame(this), "Preview_Panel");
    screen->setFixedSize(kPreviewWidth + 24, kPreviewHeight + 24);
    screen->setStyleSheet("background-color: #84967c");
    Grat_Image = Named(new TImage(screen), "Grat_Image");
    Wave_Image = Named(new TImage(screen), "Wave_Image");
    for (TImage* image : {Grat_Image, Wave_Image})
        image->setGeometry(12, 12, kPreviewWidth, kPreviewHeight);
    display_ = std::make_unique<TDisplay>(Grat_Image->picture(), Wave_Image->picture(),
                                          QSize(kPreviewWidth, kPreviewHeight));
    layout->addWidget(screen, 0, Qt::AlignHCenter);
    PreviewInfo_Label = Note(this, "PreviewInfo_Label");
    layout->addWidget(PreviewInfo_Label);
    Problem_Label = Note(this, "Problem_Label");
    Problem_Label->setStyleSheet("QLabel[tone=\"true\"] { color: #b00000; }");
    Problem_Label->setProperty("tone", true);
    layout->addWidget(Problem_Label);

    auto* buttons = new QHBoxLayout;
    UseOnChannel_Button = Named(new QPushButton(this), "UseOnChannel_Button");
    SaveText_Button = Named(new QPushButton("Save as &Text File...", this), "SaveText_Button");
    Close_Button = Named(new QPushButton("Close", this), "Close_Button");
    buttons->addWidget(UseOnChannel_Button);
    buttons->addWidget(SaveText_Button);
    buttons->addStretch(1);
    buttons->addWidget(Close_Button);
    layout->addLayout(buttons);
    setChannel(1);

    connect(Length_ComboBox, &QComboBox::currentIndexChanged, this, [this] {
        lengths_[Source_TabWidget->currentIndex()] = Length_ComboBox->currentText().toInt();
        Rebuild();
    });
    connect(Scale_ComboBox, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
    connect(UseOnChannel_Button, &QPushButton::clicked, this, [this] {
        if (use_ && !samples_.empty())
            use_(channel_, samples_, sourceName_);
    });
    connect(SaveText_Button, &QPushButton::clicked, this, [this] { SaveTextClick(); });
    connect(Close_Button, &QPushButton::clicked, this, &QDialog::close);
    connect(OpenCsv_Button, &QPushButton::clicked, this, [this] {
        const QString path = AppDialogs().openFileName(
            this, "CSV and TSV files (*.csv;*.tsv;*.txt)|*.csv;*.tsv;*.txt|All Files (*.*)|*.*",
            QString());
        if (!path.isEmpty())
            OpenCsv(path);
    });
    connect(OpenWav_Button, &QPushButton::clicked, this, [this] {
        const QString path = AppDialogs().openFileName(
            this, "Sound files (*.wav)|*.wav|All Files (*.*)|*.*", QString());
        if (!path.isEmpty())
            OpenWav(path);
    });
}

void TWaveBuilder_Form::ShowSourceLength() {
    const QSignalBlocker block(Length_ComboBox);
    Length_ComboBox->setCurrentText(QString::number(lengths_[Source_TabWidget->currentIndex()]));
}

void TWaveBuilder_Form::SetSourceLength(int tab, int length) {
    lengths_[tab] = length;
    if (Source_TabWidget->currentIndex() == tab)
        ShowSourceLength();
}

void TWaveBuilder_Form::setChannel(int channel) {
    channel_ = channel;
    UseOnChannel_Button->setText(QString("&Use on Channel %1").arg(channel));
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_WaveBuilder_Unit.cpp"
