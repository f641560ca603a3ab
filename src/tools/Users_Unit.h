// The "Users" window: the users who may change the card over the network,
// kept in the users file (the one nv815-panel --add-user writes). A user
// is added with a password typed twice, never shown and never kept but as
// its hashes; a user is removed after a question; the names are listed.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TUsers_Form : public QDialog {
    Q_OBJECT
public:
    explicit TUsers_Form(const QString& file, QWidget* parent = nullptr);

    QListWidget* Users_List;
    QLineEdit* UserName_LineEdit;
    QLineEdit* Password_LineEdit;
    QLineEdit* Repeat_LineEdit;
    QPushButton* Add_Button;
    QPushButton* Remove_Button;
    QPushButton* Close_Button;
    QLabel* File_Label;

signals:
    // The file's users changed.
    void changed();

private:
    void AddClicked();
    void RemoveClicked();
    // The file's users listed; false (said) when it cannot be read.
    bool ShowUsers();
    void ClearPasswords();

    QString file_;
};
