// The about box: what the program is for, its version, and the driver and
// VISA libraries in use. Not modal; its contents are built each time it opens.
#pragma once

#include <QDialog>
#include <QString>

class Card;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The maker's web site: the logo's hint, the last line of the design text
// and the address a click on the logo opens.
extern const char* const kMakerWebAddress;

class TAbout_Form : public QDialog {
    Q_OBJECT
public:
    explicit TAbout_Form(QWidget* parent = nullptr);
    // The card whose session it shows or tests (none: nullptr).
    void SetCard(Card* card) { card_ = card; }

    void SetLogo(const QImage& logo);
    // Shows the box without blocking and brings it to the front.
    void ShowAbout();
    // The text of one dash line: 2 x (memo width div font size in points) + 1 dashes.
    QString Separator() const;

    QLabel* Image1;
    QLabel* Label1;
    QPlainTextEdit* About_Memo;
    QPushButton* OK_Button;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Card* card_ = nullptr;
    void FormShow();
    void OpenMakerSite();

    QString designText_; // the memo's text as designed, captured once
};
