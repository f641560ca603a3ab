#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <utility>
#include <vector>

#include "SessionMemory.h"

namespace {

// "Ini files (*.ini)|*.INI|All Files (*.*)|*.*" becomes
// "Ini files (*.ini) (*.INI *.ini *.INI);;All Files (*.*) (*)": each pattern
// matches names in either case, "*.*" matches every name, and the dialog,
// told to hide the patterns, shows each description once as it is written.
// A description that names no patterns of its own shows them.
QStringList QtFilters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            if (p == "*.*") {
                patterns << "*";
                continue;
            }
            for (const QString& variant : {p, p.toLower(), p.toUpper()})
                if (!patterns.contains(variant))
                    patterns << variant;
        }
        QString description = parts[i].trimmed();
        if (!description.endsWith(')'))
            description += " (" + parts[i + 1].split(';', Qt::SkipEmptyParts).join(' ') + ")";
        out << description + " (" + patterns.join(' ') + ")";
    }
    return out;
}

QString FileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                 const QString& defaultSuffix) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtFilters(filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // Where a file of this kind was chosen last time.
    if (const QString folder = SessionMemory::LastFolder(filter); !folder.isEmpty())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    SessionMemory::SetLastFolder(filter, dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
}

// A box's buttons, and what each answers.
std::vector<std::pair<QMessageBox::StandardButton, Dialogs::Answer>> ButtonsOf(Dialogs::Kind kind) {
    using A = Dialogs::Answer;
    switch (kind) {
    case Dialogs::Kind::Confirmation:
        return {{QMessageBox::Ok, A::Ok}, {QMessageBox::Abort, A::Abort}};
    case Dialogs::Kind::Question:
        return {{QMessageBox::Yes, A::Yes}, {QMessageBox::No, A::No}};
    case Dialogs::Kind::QuestionOrCancel:
        return {
            {QMessageBox::Yes, A::Yes}, {QMessageBox::No, A::No}, {QMessageBox::Cancel, A::Cancel}};
    default:
        return {{QMessageBox::Ok, A::Ok}};
    }
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
        case Kind::Question:
        case Kind::QuestionOrCancel:
            box.setIcon(QMessageBox::Question);
            box.setWindowTitle("Question");
            break;
        }
        // Only a pressed button answers; closing the box by its frame answers Closed.
        Answer answer = Answer::Closed;
        for (const auto& [button, meaning] : ButtonsOf(kind)) {
            QPushButton* b = box.addButton(button);
            QObject::connect(b, &QPushButton::clicked, [&answer, m = meaning] { answer = m; });
        }
        box.exec();
        return answer;
    }

    QString openFileName(QWidget* parent, const QString& filter,
                         const QString& defaultSuffix) override {
        return FileName(parent, QFileDialog::AcceptOpen, filter, defaultSuffix);
    }

    QString saveFileName(QWidget* parent, const QString& filter,
                         const QString& defaultSuffix) override {
        return FileName(parent, QFileDialog::AcceptSave, filter, defaultSuffix);
    }

    QString folderName(QWidget* parent, const QString& start) override {
        QFileDialog dialog(parent);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setDirectory(start);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
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
