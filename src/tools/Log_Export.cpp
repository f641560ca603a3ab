// The log window's exports: the entries saved as text or CSV, or copied.
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

#include "CProgram.h"
#include "Card.h"
#include "Dialogs.h"
#include "Log_Unit.h"
#include "OperationLog.h"
#include "SafeFile.h"

namespace {
const char* const kCFiles = "C source files (*.c)|*.c|All Files (*.*)|*.*";
const char* const kLogFiles =
    "Text files (*.txt)|*.txt|CSV files (*.csv)|*.csv|All Files (*.*)|*.*";

void Tell(QLabel* label, const QString& text, bool failed) {
    label->setStyleSheet(failed ? "color: #b00000" : QString());
    label->setText(text);
}
} // namespace

void TLog_Form::SaveLog_ButtonClick() {
    const QString chosen = AppDialogs().saveFileName(this, kLogFiles, "txt");
    if (chosen.isEmpty())
        return;
    const bool csv = chosen.endsWith(".csv", Qt::CaseInsensitive);
    // Replaced only by a complete new file: a failed save keeps the old one.
    if (ReplaceFile(chosen.toLocal8Bit().toStdString(), csv ? LogCsv(Tag()) : LogText(Tag())))
        Tell(Export_Label,
             QString("Saved %1 entries to %2 as %3.")
                 .arg(ShownLines().size())
                 .arg(chosen, csv ? "CSV" : "text"),
             false);
    else
        Tell(Export_Label, "Not saved: " + chosen + " could not be written.", true);
}

void TLog_Form::CopyLog_ButtonClick() {
    QGuiApplication::clipboard()->setText(QString::fromLocal8Bit(LogText(Tag()).c_str()));
    Tell(Export_Label, QString("Copied %1 entries to the clipboard.").arg(ShownLines().size()),
         false);
}

void TLog_Form::SaveCProgram_ButtonClick() {
    const ViSession session = card_ ? card_->session() : 0;
    const std::vector<DriverCall> calls = SessionCalls(session);
    if (session == 0 || calls.empty()) {
        Tell(Export_Label, "No card in use: there is no session to replay.", true);
        return;
    }
    if (!SessionComplete(session)) {
        Tell(Export_Label,
             QString("Not saved: the session loaded more than %1 MB of different waveforms, "
                     "which are not all kept; it cannot be replayed.")
                 .arg(kSessionSampleLimit / (1024 * 1024)),
             true);
        return;
    }
    const QString chosen = AppDialogs().saveFileName(this, kCFiles, "c");
    if (chosen.isEmpty())
        return;
    const QFileInfo file(chosen);
    const CProgram program =
        SessionProgram(calls, file.completeBaseName().toLocal8Bit().toStdString());
    // The samples first: a program is never left without the files it reads.
    for (const auto& [name, text] : program.sampleFiles) {
        const QString path = file.absoluteDir().filePath(QString::fromLocal8Bit(name.c_str()));
        if (!ReplaceFile(path.toLocal8Bit().toStdString(), text)) {
            Tell(Export_Label, "Not saved: " + path + " could not be written.", true);
            return;
        }
    }
    if (!ReplaceFile(chosen.toLocal8Bit().toStdString(), program.source)) {
        Tell(Export_Label, "Not saved: " + chosen + " could not be written.", true);
        return;
    }
    Tell(Export_Label,
         QString("Saved %1 driver calls to %2, with %3 waveform files beside it.")
             .arg(calls.size())
             .arg(chosen)
             .arg(program.sampleFiles.size()),
         false);
}
