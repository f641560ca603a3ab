// The "Operation Log" window: shows the log, switches logging on or off, sets
// the largest number of entries and clears the log.
#pragma once

#include <QDialog>
#include <QStyledItemDelegate>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class Card;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

// Light red for an entry containing "FAILED", light green for any other entry.
QColor LogEntryColour(const QString& entry);

// Draws the log grid's cells: each entry filled with its colour, its text
// wrapped from the cell's top-left corner.
class LogCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

class TLog_Form : public QDialog {
    Q_OBJECT
public:
    explicit TLog_Form(QWidget* parent = nullptr);
    // The card whose session it shows or tests (none: nullptr).
    // The card whose entries the log shows (with those of no card).
    void SetCard(Card* card) { card_ = card; }
    ~TLog_Form() override;

    void UpdateStringGrid();
    // For its next showing only (a click on the main window's status field):
    // `message` whole above the log (red for a failure), and the log scrolled
    // to the latest entry that is `entry`, selected, or else to its end.
    void ShowStatusMessage(const QString& message, bool failure, const std::string& entry);

    QCheckBox* Log_CheckBox;
    QSpinBox* MaxLog_SpinEdit;
    QTableWidget* Log_StringGrid;
    QPushButton* OK_Button;
    QPushButton* Clear_Button;
    QPushButton* SaveLog_Button;      // the log as text or CSV, by the file's type
    QPushButton* CopyLog_Button;      // the log's text to the clipboard
    QPushButton* SaveCProgram_Button; // the session's driver calls as a C program
    QLabel* Export_Label;             // what the last save or copy did
    QLabel* Message_Label;            // the status field's message, whole, when it opened the log

    // Height of one text line of the grid, in pixels, plus one.
    int LineHeight() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The log's entries this window shows: its card's and those of no card.
    std::vector<std::string> ShownLines() const;
    uint32_t Tag() const; // the card tag of the entries it shows (0: every entry)
    Card* card_ = nullptr;
    std::optional<std::string> entry_; // the entry to show, for the next showing
    void ShowEntry();
    int clearedListener_ = 0; // the log's cleared listener
    void FormCreate();
    void FormShow();
    void Log_CheckBoxClick();
    void MaxLog_SpinEditChange();
    void OK_ButtonClick();
    void Clear_ButtonClick();
    void SaveLog_ButtonClick();
    void CopyLog_ButtonClick();
    void SaveCProgram_ButtonClick();

    QGroupBox* GroupBox1;
    QLabel* Label1;
};
