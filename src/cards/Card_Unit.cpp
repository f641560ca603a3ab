#include "Card_Unit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <vector>

#include "CardDiscovery.h"
#include "Dialogs.h"
#include "LibraryBindings.h"
#include "Named.h"
#include "OperationLog.h"
#include "SessionMemory.h"

namespace {
const QColor kInUse(0x1F, 0xFF, 0x1F);

// VISA's description of a status; empty without the library.
QString StatusDescription(ViStatus status) {
    return QString::fromLocal8Bit(VisaStatusText(status).c_str());
}

// Why a search found what it found, or nothing when all went well.
QString SearchHint(ViStatus status, const SearchStop& stop, const char* model, bool found) {
    const std::string missing = MissingLibraryText();
    if (!missing.empty())
        return QString::fromStdString(missing);
    if (status != VI_SUCCESS && !stop.resource.empty())
        return QString("The search stopped %1 %2: %3")
            .arg(stop.afterIt ? "after" : "at", QString::fromStdString(stop.resource),
                 StatusDescription(status));
    if (status != VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND)
        return "The card search failed: " + StatusDescription(status);
    return found ? QString() : QString("No %1 card was found.").arg(model);
}
const QColor kCurrentRow(0xEE, 0xEE, 0xEE);
const QColor kTakenMark(0xB0, 0x00, 0x00);
// A row's cells hold who else has its card ("in use by panel 1"), or nothing.
constexpr int kTakenRole = Qt::UserRole + 1;
} // namespace

CardCellDelegate::CardCellDelegate(TCard_Form* form) : QStyledItemDelegate(form), form_(form) {}

void CardCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    painter->fillRect(option.rect, form_->RowColour(index.row()));
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    // A card another panel or program has: marked at the row's end.
    if (index.column() == 2 && !index.data(kTakenRole).toString().isEmpty()) {
        painter->setPen(kTakenMark);
        painter->drawText(option.rect.adjusted(0, 2, -3, 0), Qt::AlignRight | Qt::AlignTop,
                          "in use");
    }
    // The current row framed, so that it shows where the keyboard is.
    if (index.row() == form_->Card_StringGrid->currentRow()) {
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        const QRect r = option.rect.adjusted(0, 0, -1, -1);
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0)
            painter->drawLine(r.topLeft(), r.bottomLeft());
        if (index.column() == 2)
            painter->drawLine(r.topRight(), r.bottomRight());
    }
    painter->restore();
}

TCard_Form::TCard_Form(Card& card, QWidget* parent) : QDialog(parent), card_(card) {
    setObjectName("Card_Form");
    setWindowTitle("Card Selection");

    Card_StringGrid = Named(new QTableWidget(kGridRows, 3, this), "Card_StringGrid");
    Card_StringGrid->setHorizontalHeaderLabels({"Card", "Resource Name", "ID"});
    Card_StringGrid->verticalHeader()->hide();
    Card_StringGrid->verticalHeader()->setMinimumSectionSize(1);
    Card_StringGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    Card_StringGrid->setColumnWidth(0, 64);
    Card_StringGrid->setColumnWidth(1, 108);
    Card_StringGrid->setColumnWidth(2, 93);
    Card_StringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Card_StringGrid->setTabKeyNavigation(false); // Tab leaves the grid; arrows move in it
    Card_StringGrid->setSelectionMode(QAbstractItemView::NoSelection);
    Card_StringGrid->setItemDelegate(new CardCellDelegate(this));
    Card_StringGrid->setFixedWidth(64 + 108 + 93 + 2 * Card_StringGrid->frameWidth() + 18);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < 3; ++c)
            Card_StringGrid->setItem(r, c, new QTableWidgetItem);
    Card_StringGrid->setCurrentCell(0, 1);
    connect(Card_StringGrid, &QTableWidget::currentCellChanged, Card_StringGrid->viewport(),
            qOverload<>(&QWidget::update));
    connect(Card_StringGrid, &QTableWidget::currentCellChanged, this, [this] { ShowHint(); });

    GroupBox1 = Named(new QGroupBox("Card Search", this), "GroupBox1");
    Label1 = Named(new QLabel("Model Search String:", GroupBox1), "Label1");
    Set72815 = Named(new QRadioButton(CardModels()[0].name, GroupBox1), "Set72815");
    Set72815->setChecked(true);
    Set82815 = Named(new QRadioButton(CardModels()[1].name, GroupBox1), "Set82815");
    Find_Button = Named(new QPushButton("Find Cards", GroupBox1), "Find_Button");
    auto* search = new QVBoxLayout(GroupBox1);
    search->addWidget(Label1);
    search->addWidget(Set72815);
    search->addWidget(Set82815);
    search->addSpacing(8);
    search->addWidget(Find_Button);

    Lock_CheckBox = Named(new QCheckBox("Apply Exclusive Lock ", this), "Lock_CheckBox");
    Ok_Button = Named(new QPushButton("OK", this), "Ok_Button");
    Ok_Button->setDefault(true);
    Cancel_Button = Named(new QPushButton("Cancel", this), "Cancel_Button");

    auto* side = new QVBoxLayout;
    side->addWidget(GroupBox1);
    side->addWidget(Lock_CheckBox);
    side->addStretch(1);
    side->addWidget(Ok_Button);
    side->addWidget(Cancel_Button);
    // Below the grid: why a search found nothing, when it did.
    Hint_Label = Named(new QLabel(this), "Hint_Label");
    Hint_Label->setWordWrap(true);
    Hint_Label->setStyleSheet("color: #b00000");
    Hint_Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for two lines always, so a hint set later is never cut.
    Hint_Label->setFixedHeight(2 * Hint_Label->fontMetrics().lineSpacing() + 4);
    auto* top = new QHBoxLayout;
    top->addWidget(Card_StringGrid);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(Hint_Label);
    setFixedSize(460, 330);

    setTabOrder(Card_StringGrid, Set72815);
    setTabOrder(Set72815, Set82815);
    setTabOrder(Set82815, Find_Button);
    setTabOrder(Find_Button, Lock_CheckBox);
    setTabOrder(Lock_CheckBox, Ok_Button);
    setTabOrder(Ok_Button, Cancel_Button);

    connect(Find_Button, &QPushButton::clicked, this, [this] { Find_ButtonClick(); });
    connect(Ok_Button, &QPushButton::clicked, this, [this] { Ok_ButtonClick(); });
    // A double click on a found card chooses it, as OK does.
    connect(Card_StringGrid, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        const QTableWidgetItem* resource = Card_StringGrid->item(row, 1);
        if (!resource || resource->text().isEmpty())
            return;
        Card_StringGrid->setCurrentCell(row, 1);
        Ok_ButtonClick();
    });
    connect(Cancel_Button, &QPushButton::clicked, this, [this] { Cancel_ButtonClick(); });
}

TCard_Form::~TCard_Form() = default;

void TCard_Form::showEvent(QShowEvent* event) {
    // Before a card is in use, the search starts at the model of the card
    // used last, so that its row, offered after Find, is of the model OK opens.
    if (card_.session() == 0 && !event->spontaneous()) {
        const QString model = SessionMemory::LastCardModel();
        if (model == CardModels()[1].name)
            Set82815->setChecked(true);
        else if (model == CardModels()[0].name)
            Set72815->setChecked(true);
    }
    QDialog::showEvent(event);
}

QColor TCard_Form::RowColour(int row) const {
    const QTableWidgetItem* resource = Card_StringGrid->item(row, 1);
    if (card_.session() != 0 && resource &&
        resource->text().toStdString() == card_.identity().resource)
        return kInUse;
    if (row == Card_StringGrid->currentRow())
        return kCurrentRow;
    return Qt::white;
}

// Who else has the card of `resource`: another panel of this program, or
// (as its probe found) another program holding VISA's lock; empty when none.
QString TCard_Form::TakenBy(const std::string& resource, ViStatus probe) const {
    if (const Card* other = card_.heldElsewhere(resource))
        return "in use by " + (other->holderName().empty()
                                   ? QString("another panel")
                                   : QString::fromStdString(other->holderName()));
    if (probe == VI_ERROR_RSRC_LOCKED)
        return "locked by another program";
    return {};
}

// The search's hint; for a current row whose card another has, who has it.
void TCard_Form::ShowHint() {
    const QTableWidgetItem* current = Card_StringGrid->currentRow() >= 0
                                          ? Card_StringGrid->item(Card_StringGrid->currentRow(), 1)
                                          : nullptr;
    const QString taken = current ? current->data(kTakenRole).toString() : QString();
    Hint_Label->setText(taken.isEmpty()
                            ? searchHint_
                            : current->text() + " is " + taken + ": choose another card.");
}

void TCard_Form::Find_ButtonClick() {
    for (int r = 0; r < Card_StringGrid->rowCount(); ++r)
        for (int c = 0; c < 3; ++c) {
            Card_StringGrid->item(r, c)->setText(QString());
            Card_StringGrid->item(r, c)->setData(kTakenRole, QString());
            Card_StringGrid->item(r, c)->setToolTip(QString());
        }

    const CardModel& model = CardModels()[Set72815->isChecked() ? 0 : 1];
    searchedModel_ = model.name;
    SearchStop stop;
    DiscoveryOptions options;
    if (card_.session() != 0) { // the card in use keeps its session
        options.inUseResource = card_.identity().resource;
        options.inUseSession = card_.session();
    }
    std::vector<FoundCard> found;
    const ViStatus status = DiscoverCards(model, found, options, &stop);
    searchHint_ = SearchHint(status, stop, model.name, !found.empty());

    if (static_cast<int>(found.size()) > Card_StringGrid->rowCount()) {
        const int old = Card_StringGrid->rowCount();
        Card_StringGrid->setRowCount(static_cast<int>(found.size()));
        for (int r = old; r < Card_StringGrid->rowCount(); ++r)
            for (int c = 0; c < 3; ++c)
                Card_StringGrid->setItem(r, c, new QTableWidgetItem);
    }
    for (size_t k = 0; k < found.size(); ++k) {
        const int row = static_cast<int>(k);
        Card_StringGrid->item(row, 1)->setText(QString::fromStdString(found[k].resource));
        Card_StringGrid->item(row, 0)->setText("Card " + QString::number(k + 1));
        if (found[k].openStatus == VI_SUCCESS)
            Card_StringGrid->item(row, 2)->setText(QString::number(found[k].cardId));
        const QString taken = TakenBy(found[k].resource, found[k].openStatus);
        for (int c = 0; c < 3 && !taken.isEmpty(); ++c) {
            Card_StringGrid->item(row, c)->setData(kTakenRole, taken);
            Card_StringGrid->item(row, c)->setToolTip("This card is " + taken + ".");
        }
    }
    Card_StringGrid->scrollToTop(); // the cards found
    // The card used last is offered (selected, not opened) when it is there.
    const std::string offered =
        card_.session() != 0 ? card_.identity().resource : SessionMemory::LastCard().toStdString();
    for (size_t k = 0; k < found.size(); ++k)
        if (!offered.empty() && found[k].resource == offered)
            Card_StringGrid->setCurrentCell(static_cast<int>(k), 1);
    ShowHint();
    Card_StringGrid->viewport()->update();
}

// The chosen card is opened in place of the card in use, which stays in use
// when the new one cannot be opened.
void TCard_Form::Ok_ButtonClick() {
    const QTableWidgetItem* chosen = Card_StringGrid->currentRow() >= 0
                                         ? Card_StringGrid->item(Card_StringGrid->currentRow(), 1)
                                         : nullptr;
    const std::string resource = chosen ? chosen->text().toStdString() : std::string();
    if (resource.empty()) {
        AppDialogs().message(this, Dialogs::Kind::Information, "No card selected");
        return;
    }
    taken_ = TakeCard(card_, resource, {Lock_CheckBox->isChecked(), nullptr, true});
    if (taken_.heldBy) { // another panel's card is never taken from it: nothing is sent
        AppDialogs().message(this, Dialogs::Kind::Error,
                             QString::fromStdString(resource) + " is " + TakenBy(resource, 0) +
                                 " of this program. Choose another card, or first select "
                                 "another card in that panel or close it.");
        return;
    }
    if (const ViStatus status = taken_.status; status != VI_SUCCESS) {
        const QString text = QString("An error occurred while opening this card:\r\nError: ") +
                             QString::fromStdString(StatusHex(status)) + "\r\n" +
                             StatusDescription(status);
        AppDialogs().message(this, Dialogs::Kind::Error, text);
        Card_StringGrid->viewport()->update();
        return;
    }
    SelectedModel = searchedModel_;
    SessionMemory::SetLastCard(QString::fromStdString(resource), searchedModel_);
    Card_StringGrid->viewport()->update();
    done(QDialog::Accepted);
}

void TCard_Form::Cancel_ButtonClick() {
    done(QDialog::Rejected);
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Card_Unit.cpp"
