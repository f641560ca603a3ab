// The "Card Selection" dialog: lists the cards of one model with their ids and
// opens the chosen card through the driver, optionally locked exclusively.
#pragma once

#include <QDialog>
#include <QStyledItemDelegate>
#include <string>

#include "Operations.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

class TCard_Form;

// Draws the card grid: the card in use bright green, the current row light grey.
class CardCellDelegate : public QStyledItemDelegate {
public:
    CardCellDelegate(TCard_Form* form);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TCard_Form* form_;
};

class TCard_Form : public QDialog {
    Q_OBJECT
public:
    explicit TCard_Form(QWidget* parent = nullptr);
    ~TCard_Form() override;

    static constexpr int kGridRows = 49; // below the header row

    TSelectedCard Selection;         // the card now chosen (and in use after OK)
    TSelectedCard PreviousSelection; // the one chosen before the current OK
    QString SelectedModel;           // the model searched for when Selection was chosen

    // Set after a successful OK from the card's PCI subsystem id: false for a
    // two-channel card (0x4404). Unchanged when the id cannot be read.
    bool ThirdChannelShown = true;

    // Opens Selection.Resource; see OpenCardRecord.
    ViStatus OpenCard(bool lock);
    // The card id of Selection's session, 0 when there is none or it cannot be read.
    int32_t GetSelectedCardID();

    // Closes the session of the card in use, when there is one (at exit).
    void CloseSelectedCard();

    // Background colour of a grid row, as the grid draws it.
    QColor RowColour(int row) const;

    QTableWidget* Card_StringGrid;
    QRadioButton* Set72815;
    QRadioButton* Set82815;
    QPushButton* Find_Button;
    QCheckBox* Lock_CheckBox;
    QPushButton* Ok_Button;
    QPushButton* Cancel_Button;
    QLabel* Hint_Label; // why the last search found no card

    void Find_ButtonClick();
    void Ok_ButtonClick();
    void Cancel_ButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString searchedModel_; // the model of the cards the grid lists
    QGroupBox* GroupBox1;
    QLabel* Label1;
};
