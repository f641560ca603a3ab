// The "Card Selection" dialog: lists the cards of one model with their ids and
// opens the chosen card through the driver, optionally locked exclusively.
#pragma once

#include <QDialog>
#include <QStyledItemDelegate>
#include <string>

#include "Card.h"
#include "CardUse.h"
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
    // The dialog chooses the card of `card` and takes it into use
    // (TakeCard, with the start-up calls).
    explicit TCard_Form(Card& card, QWidget* parent = nullptr);
    ~TCard_Form() override;

    static constexpr int kGridRows = 49; // below the header row

    QString SelectedModel; // the model searched for when the card in use was chosen
    // What taking the card chosen into use found (after OK closed the dialog).
    const TakenCard& Taken() const { return taken_; }

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
    TakenCard taken_;
    QString TakenBy(const std::string& resource, ViStatus probe) const;
    void ShowHint();

    Card& card_;
    QString searchHint_;    // why the last search found what it found
    QString searchedModel_; // the model of the cards the grid lists
    QGroupBox* GroupBox1;
    QLabel* Label1;
};
