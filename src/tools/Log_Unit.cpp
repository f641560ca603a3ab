#include "Log_Unit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "Card.h"
#include <QVBoxLayout>
#include <algorithm>

#include "Dialogs.h"
#include "Named.h"
#include "OperationLog.h"
#include "PanelWidgets.h"

namespace {
const QColor kFailedColour(255, 160, 160);
const QColor kSuccessColour(160, 255, 160);

// Entries end in CR LF and hold CR LF between lines; drawing wants LF only.
QString DrawnText(const QString& entry) {
    return QString(entry).remove(QLatin1Char('\r'));
}
} // namespace

QColor LogEntryColour(const QString& entry) {
    return entry.contains(QLatin1String("FAILED")) ? kFailedColour : kSuccessColour;
}

void LogCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    QColor background = Qt::white;
    if (!text.isEmpty())
        background = LogEntryColour(text);
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                      DrawnText(text));
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.highlight(), 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

TLog_Form::TLog_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("Log_Form");
    setWindowTitle("Operation Log");

    GroupBox1 = Named(new QGroupBox("Log Options", this), "GroupBox1");
    Log_CheckBox = Named(new QCheckBox("Enable Log", GroupBox1), "Log_CheckBox");
    Label1 = Named(new QLabel("Maximum number of lines:", GroupBox1), "Label1");
    MaxLog_SpinEdit = Named(new QSpinBox(GroupBox1), "MaxLog_SpinEdit");
    MaxLog_SpinEdit->setRange(2, 500);
    MaxLog_SpinEdit->setValue(100);
    Label1->setBuddy(MaxLog_SpinEdit);
    auto* options = new QHBoxLayout(GroupBox1);
    options->addWidget(Log_CheckBox);
    options->addSpacing(24);
    options->addWidget(Label1);
    options->addWidget(MaxLog_SpinEdit);
    options->addStretch(1);

    // The header row is the fixed row and the row numbers the fixed column;
    // both can be resized by the user, and each entry is the text of its cell.
    Log_StringGrid = Named(new QTableWidget(0, 1, this), "Log_StringGrid");
    Log_StringGrid->setHorizontalHeaderLabels({"Commands"});
    Log_StringGrid->setColumnWidth(0, 340);
    Log_StringGrid->verticalHeader()->setFixedWidth(64);
    Log_StringGrid->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Log_StringGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Log_StringGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Log_StringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Log_StringGrid->setWordWrap(true);
    Log_StringGrid->setItemDelegate(new LogCellDelegate(Log_StringGrid));

    OK_Button = Named(new QPushButton("Ok", this), "OK_Button");
    OK_Button->setDefault(true);
    Clear_Button = Named(new QPushButton("Clear", this), "Clear_Button");
    SaveLog_Button = Named(new QPushButton("Save...", this), "SaveLog_Button");
    SaveLog_Button->setToolTip("Saves the log as text (.txt) or as CSV (.csv)");
    CopyLog_Button = Named(new QPushButton("Copy", this), "CopyLog_Button");
    CopyLog_Button->setToolTip("Copies the log's text to the clipboard");
    SaveCProgram_Button =
        Named(new QPushButton("Save as C Program...", this), "SaveCProgram_Button");
    SaveCProgram_Button->setToolTip("Writes a C program that makes the driver calls of the "
                                    "card's session again, from its opening");
    for (QPushButton* b : {SaveLog_Button, CopyLog_Button, SaveCProgram_Button})
        b->setAutoDefault(false);
    // What the last save or copy did, where the operator looks.
    Export_Label = Named(new QLabel(this), "Export_Label");
    Export_Label->setWordWrap(true);
    // The exports on a row of their own, above the dialog's own buttons, so
    // that every caption shows whole.
    auto* exports = new QHBoxLayout;
    exports->addWidget(SaveLog_Button);
    exports->addWidget(CopyLog_Button);
    exports->addWidget(SaveCProgram_Button);
    exports->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Clear_Button);
    buttons->addWidget(OK_Button);

    // What the main window's status field said, whole, when a click on it
    // opened the log; hidden otherwise.
    Message_Label = Named(new QLabel(this), "Message_Label");
    Message_Label->setWordWrap(true);
    Message_Label->setTextFormat(Qt::PlainText);
    Message_Label->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    Message_Label->setStyleSheet("QLabel[tone=\"failure\"] { color: #b00000; }");
    Message_Label->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Message_Label);
    layout->addWidget(GroupBox1);
    layout->addWidget(Log_StringGrid, 1);
    layout->addWidget(Export_Label);
    layout->addLayout(exports);
    layout->addLayout(buttons);
    setFixedSize(std::max(446, layout->minimumSize().width()), 540);

    setTabOrder(Log_CheckBox, MaxLog_SpinEdit);
    setTabOrder(MaxLog_SpinEdit, Log_StringGrid);
    setTabOrder(Log_StringGrid, SaveLog_Button);
    setTabOrder(SaveLog_Button, CopyLog_Button);
    setTabOrder(CopyLog_Button, SaveCProgram_Button);
    setTabOrder(SaveCProgram_Button, Clear_Button);
    setTabOrder(Clear_Button, OK_Button);

    connect(Log_CheckBox, &QCheckBox::clicked, this, [this] { Log_CheckBoxClick(); });
    connect(MaxLog_SpinEdit, &QSpinBox::valueChanged, this, [this] { MaxLog_SpinEditChange(); });
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(Clear_Button, &QPushButton::clicked, this, [this] { Clear_ButtonClick(); });
    connect(SaveLog_Button, &QPushButton::clicked, this, [this] { SaveLog_ButtonClick(); });
    connect(CopyLog_Button, &QPushButton::clicked, this, [this] { CopyLog_ButtonClick(); });
    connect(SaveCProgram_Button, &QPushButton::clicked, this,
            [this] { SaveCProgram_ButtonClick(); });

    FormCreate();
}

TLog_Form::~TLog_Form() {
    RemoveLogClearedListener(clearedListener_);
}

void TLog_Form::FormCreate() {
    LogEnabled = true;
    SetMaxLogLines(Tag(), 100);
    clearedListener_ = AddLogClearedListener([this] { UpdateStringGrid(); });
}

void TLog_Form::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TLog_Form::FormShow() {
    Log_CheckBox->setChecked(LogEnabled);
    MaxLog_SpinEdit->setValue(MaxLogLinesOf(Tag()));
    UpdateStringGrid();
    if (entry_)
        ShowEntry();
    else
        Message_Label->hide();
}

void TLog_Form::ShowStatusMessage(const QString& message, bool failure, const std::string& entry) {
    Message_Label->setText(message);
    SetStyleProperty(Message_Label, "tone", failure ? "failure" : "advice");
    Message_Label->setVisible(!message.isEmpty());
    entry_ = entry;
}

// The latest entry that is the one asked for, selected and in view; the
// log's end when there is none.
void TLog_Form::ShowEntry() {
    const std::string entry = *entry_;
    entry_.reset();
    int row = Log_StringGrid->rowCount() - 1;
    Log_StringGrid->clearSelection();
    const std::vector<std::string> lines = ShownLines();
    if (!entry.empty())
        for (int i = static_cast<int>(lines.size()) - 1; i >= 0; --i)
            if (lines[static_cast<size_t>(i)] == entry) {
                row = i;
                Log_StringGrid->selectRow(row);
                break;
            }
    if (QTableWidgetItem* item = Log_StringGrid->item(std::max(row, 0), 0))
        Log_StringGrid->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

int TLog_Form::LineHeight() const {
    return Log_StringGrid->fontMetrics().height() + 1;
}

uint32_t TLog_Form::Tag() const {
    return card_ ? card_->link().cardTag() : 0;
}

std::vector<std::string> TLog_Form::ShownLines() const {
    return LogLinesOf(Tag());
}

void TLog_Form::UpdateStringGrid() {
    if (!LogLines)
        return;
    const std::vector<std::string> lines = ShownLines();
    const int rows = lines.empty() ? 1 : static_cast<int>(lines.size());
    Log_StringGrid->setRowCount(rows);
    for (int i = 0; i < rows; ++i) {
        const bool filled = i < static_cast<int>(lines.size());
        const QString text = filled ? QString::fromStdString(lines[i]) : QString();
        QTableWidgetItem* item = Log_StringGrid->item(i, 0);
        if (!item) {
            item = new QTableWidgetItem;
            Log_StringGrid->setItem(i, 0, item);
        }
        item->setText(text);
        auto* number = new QTableWidgetItem(filled ? QString::number(i + 1) : QString());
        Log_StringGrid->setVerticalHeaderItem(i, number);
        const int lineFeeds = static_cast<int>(text.count(QLatin1Char('\n')));
        Log_StringGrid->setRowHeight(i, (lineFeeds + 1) * LineHeight());
    }
    Log_StringGrid->viewport()->update();
}

void TLog_Form::Log_CheckBoxClick() {
    LogEnabled = Log_CheckBox->isChecked();
}

void TLog_Form::MaxLog_SpinEditChange() {
    SetMaxLogLines(Tag(), MaxLog_SpinEdit->value());
}

void TLog_Form::Clear_ButtonClick() {
    ClearLog(Tag());
}

void TLog_Form::OK_ButtonClick() {
    const int entries = static_cast<int>(ShownLines().size());
    if (Log_CheckBox->isChecked() && entries > MaxLog_SpinEdit->value()) {
        const QString text = "The log already contains more lines (" + QString::number(entries) +
                             ") than the value entered for \r\nthe maximum number of lines. "
                             "Selecting 'OK' will clear the \r\nlog.";
        if (AppDialogs().message(this, Dialogs::Kind::Warning, text) == Dialogs::Answer::Ok)
            ClearLog(Tag());
    }
    SetMaxLogLines(Tag(), MaxLog_SpinEdit->value());
    LogEnabled = Log_CheckBox->isChecked();
    done(QDialog::Accepted);
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Log_Unit.cpp"
