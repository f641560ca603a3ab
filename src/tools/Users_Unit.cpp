#include "Users_Unit.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "Credentials.h"
#include "Dialogs.h"
#include "Named.h"

TUsers_Form::TUsers_Form(const QString& file, QWidget* parent) : QDialog(parent), file_(file) {
    setObjectName("Users_Form");
    setWindowTitle("Users");
    Users_List = Named(new QListWidget(this), "Users_List");
    Users_List->setAccessibleName("Users who may change the card");
    Users_List->setMinimumHeight(Users_List->fontMetrics().lineSpacing() * 5);
    UserName_LineEdit = Named(new QLineEdit(this), "UserName_LineEdit");
    UserName_LineEdit->setAccessibleName("User name");
    UserName_LineEdit->setMaxLength(32);
    Password_LineEdit = Named(new QLineEdit(this), "Password_LineEdit");
    Password_LineEdit->setAccessibleName("Password");
    Repeat_LineEdit = Named(new QLineEdit(this), "Repeat_LineEdit");
    Repeat_LineEdit->setAccessibleName("Password again");
    for (QLineEdit* field : {Password_LineEdit, Repeat_LineEdit})
        field->setEchoMode(QLineEdit::Password);
    Add_Button = Named(new QPushButton("&Add", this), "Add_Button");
    Add_Button->setToolTip("Adds the user, or gives the user a new password.");
    Remove_Button = Named(new QPushButton("&Remove", this), "Remove_Button");
    Remove_Button->setToolTip("Removes the user chosen in the list.");
    Close_Button = Named(new QPushButton("&Close", this), "Close_Button");
    File_Label = Named(new QLabel(this), "File_Label");
    File_Label->setWordWrap(true);
    File_Label->setText("Kept in " + QDir::toNativeSeparators(file_) +
                        ", only its owner may read it; a password is kept only as its hash.");

    auto* form = new QFormLayout;
    form->addRow("User &name", UserName_LineEdit);
    form->addRow("&Password", Password_LineEdit);
    form->addRow("Password a&gain", Repeat_LineEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Add_Button);
    buttons->addWidget(Remove_Button);
    buttons->addStretch(1);
    buttons->addWidget(Close_Button);
    auto* page = new QVBoxLayout(this);
    page->setSizeConstraint(QLayout::SetMinimumSize);
    page->addWidget(Users_List);
    page->addLayout(form);
    page->addWidget(File_Label);
    page->addLayout(buttons);

    connect(Add_Button, &QPushButton::clicked, this, [this] { AddClicked(); });
    connect(Remove_Button, &QPushButton::clicked, this, [this] { RemoveClicked(); });
    connect(Close_Button, &QPushButton::clicked, this, [this] {
        ClearPasswords();
        hide();
    });
    ShowUsers();
}

bool TUsers_Form::ShowUsers() {
    Users_List->clear();
    Credentials users;
    QString error;
    if (!users.load(file_, error)) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "The users cannot be read: " + error + ".");
        return false;
    }
    Users_List->addItems(users.users());
    Remove_Button->setEnabled(Users_List->count() > 0);
    return true;
}

void TUsers_Form::ClearPasswords() {
    Password_LineEdit->clear();
    Repeat_LineEdit->clear();
}

void TUsers_Form::AddClicked() {
    const QString name = UserName_LineEdit->text().trimmed();
    const QByteArray password = Password_LineEdit->text().toUtf8();
    QString error;
    if (password != Repeat_LineEdit->text().toUtf8())
        error = "the two passwords differ";
    Credentials users;
    const bool known = error.isEmpty() && users.load(file_, error) && users.users().contains(name);
    if (error.isEmpty() && users.set(name, password, error) && users.save(file_, error)) {
        ClearPasswords();
        UserName_LineEdit->clear();
        ShowUsers();
        emit changed();
        AppDialogs().message(this, Dialogs::Kind::Information,
                             (known ? "New password of " : "Added ") + name + ".");
        return;
    }
    ClearPasswords();
    AppDialogs().message(this, Dialogs::Kind::Error, "Not added: " + error + ".");
}

void TUsers_Form::RemoveClicked() {
    const QListWidgetItem* item = Users_List->currentItem();
    if (!item)
        return;
    const QString name = item->text();
    if (AppDialogs().message(this, Dialogs::Kind::Question,
                             "Remove " + name + "? A client signed in as " + name +
                                 " may change the card no more.") != Dialogs::Answer::Yes)
        return;
    Credentials users;
    QString error;
    if (!users.load(file_, error) || !users.remove(name) || !users.save(file_, error)) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Not removed: " + (error.isEmpty() ? name + " is gone" : error) + ".");
        ShowUsers();
        return;
    }
    ShowUsers();
    emit changed();
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Users_Unit.cpp"
