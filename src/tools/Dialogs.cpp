#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace {

// "Text files|*.txt|All Files (*.*)|*.*" becomes "Text files (*.txt);;All Files (*.*) (*)".
QString QtFilter(const QString& filter) {
    QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1] == "*.*" ? "*" : QString(parts[i + 1]).replace(';', ' ');
        out << parts[i] + " (" + pattern + ")";
    }
    return out.join(";;");
}

class QtDialogs final : public Dialogs {
public:
    Answer message(QWidget* parent, Kind kind, const QString& text) override {
        QMessageBox box(parent);
        box.setText(QString(text).remove(QLatin1Char('\r')));
        box.setWindowTitle(QApplication::applicationDisplayName());
        switch (kind) {
        case Kind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setWindowTitle("Error");
            break;
        case Kind::Warning:
            box.setIcon(QMessageBox::Warning);
            box.setWindowTitle("Warning");
            break;
        case Kind::Confirmation:
            box.setIcon(QMessageBox::Question);
            box.setWindowTitle("Confirm");
            break;
        case Kind::Information:
            box.setIcon(QMessageBox::NoIcon);
            break;
        }
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        QPushButton* abort =
            kind == Kind::Confirmation ? box.addButton(QMessageBox::Abort) : nullptr;
        // Only a pressed button answers; closing the box by its frame answers Closed.
        Answer answer = Answer::Closed;
        QObject::connect(ok, &QPushButton::clicked, [&] { answer = Answer::Ok; });
        if (abort)
            QObject::connect(abort, &QPushButton::clicked, [&] { answer = Answer::Abort; });
        box.exec();
        return answer;
    }

    QString openFileName(QWidget* parent, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), QtFilter(filter));
    }

    QString saveFileName(QWidget* parent, const QString& filter) override {
        return QFileDialog::getSaveFileName(parent, QString(), QString(), QtFilter(filter));
    }
};

QtDialogs realDialogs;
Dialogs* current = &realDialogs;

} // namespace

Dialogs& AppDialogs() {
    return *current;
}

void SetAppDialogs(Dialogs* dialogs) {
    current = dialogs ? dialogs : &realDialogs;
}
