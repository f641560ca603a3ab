// The Waveform Builder's work: reading the source, the length and scaling,
// the preview, and saving.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "Dialogs.h"
#include "Display_Unit.h"
#include "ElidedLabel.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"
#include "WavFile.h"
#include "WaveBuilder_Unit.h"
#include "WaveExpression.h"
#include "WaveFile.h"
#include "WaveShaping.h"

namespace {

constexpr qint64 kMaxCsvBytes = qint64(512) << 20;

QString Decimal(char c) {
    return c == ',' ? "decimal comma" : "decimal point";
}

} // namespace

bool TWaveBuilder_Form::OpenCsv(const QString& path) {
    QFile file(path);
    csvPath_ = path;
    csvValues_.clear();
    CsvColumn_ComboBox->blockSignals(true);
    CsvColumn_ComboBox->clear();
    CsvColumn_ComboBox->blockSignals(false);
    CsvFile_Label->setFullText(QFileInfo(path).fileName());
    csvProblem_.clear();
    if (file.size() > kMaxCsvBytes || !file.open(QIODevice::ReadOnly)) {
        csvProblem_ = file.size() > kMaxCsvBytes ? "The file is larger than 512 MB."
                                                 : "The file could not be read.";
        csvText_.clear();
        Rebuild();
        return false;
    }
    csvText_ = file.readAll();
    const CsvSniff sniff = SniffCsv(std::string_view(csvText_.constData(), csvText_.size()));
    if (!sniff.error.empty()) {
        csvProblem_ = QString::fromStdString(sniff.error);
        CsvFormat_Label->setFullText(QString());
        Rebuild();
        return false;
    }
    csvFormat_ = sniff.format;
    CsvFormat_Label->setFullText(QString("%1-delimited, %2, %3 header line%4")
                                     .arg(DelimiterName(csvFormat_.delimiter))
                                     .arg(Decimal(csvFormat_.decimal))
                                     .arg(csvFormat_.headerLines)
                                     .arg(csvFormat_.headerLines == 1 ? "" : "s"));
    CsvColumn_ComboBox->blockSignals(true);
    for (const CsvColumnInfo& column : sniff.columns) {
        QStringList first;
        for (const std::string& value : column.first)
            first << QString::fromStdString(value);
        CsvColumn_ComboBox->addItem(QString::fromStdString(column.title) + ": " + first.join(", ") +
                                    (first.isEmpty() ? "" : ", ..."));
    }
    // The first column of numbers (every column of the first row of numbers is one).
    CsvColumn_ComboBox->setCurrentIndex(0);
    CsvColumn_ComboBox->blockSignals(false);
    ReadCsvColumnChosen();
    SetSourceLength(1, DefaultLength(csvValues_.size()));
    Source_TabWidget->setCurrentIndex(1);
    Rebuild();
    return csvProblem_.isEmpty();
}

void TWaveBuilder_Form::ReadCsvColumnChosen() {
    csvValues_.clear();
    if (csvText_.isEmpty() || CsvColumn_ComboBox->currentIndex() < 0)
        return;
    const CsvColumnRead read =
        ReadCsvColumn(std::string_view(csvText_.constData(), csvText_.size()), csvFormat_,
                      CsvColumn_ComboBox->currentIndex());
    csvProblem_ = QString::fromStdString(read.error);
    if (read.error.empty())
        csvValues_ = read.values;
}

bool TWaveBuilder_Form::OpenWav(const QString& path) {
    wavPath_ = path;
    WavFile_Label->setFullText(QFileInfo(path).fileName());
    const WavRead read = ReadWavChannel(QFile::encodeName(path).toStdString(), 0);
    WavChannel_ComboBox->blockSignals(true);
    WavChannel_ComboBox->clear();
    for (int c = 1; c <= read.channels; ++c)
        WavChannel_ComboBox->addItem(QString("Channel %1").arg(c));
    WavChannel_ComboBox->blockSignals(false);
    WavInfo_Label->setFullText(read.error.empty()
                                   ? QString("%1 Hz, %2 channel%3, %4 samples, %5%6")
                                         .arg(read.sampleRate)
                                         .arg(read.channels)
                                         .arg(read.channels == 1 ? "" : "s")
                                         .arg(read.frames)
                                         .arg(QString::fromStdString(read.format))
                                         .arg(read.cut ? " (the first 16777216 read)" : "")
                                   : QString());
    wavProblem_ = QString::fromStdString(read.error);
    wavValues_ = read.samples;
    SetSourceLength(2, DefaultLength(wavValues_.size()));
    Source_TabWidget->setCurrentIndex(2);
    Rebuild();
    return wavProblem_.isEmpty();
}

void TWaveBuilder_Form::ReadWavChannelChosen() {
    if (wavPath_.isEmpty())
        return;
    const WavRead read = ReadWavChannel(QFile::encodeName(wavPath_).toStdString(),
                                        WavChannel_ComboBox->currentIndex());
    wavProblem_ = QString::fromStdString(read.error);
    wavValues_ = read.samples;
}

bool TWaveBuilder_Form::SourceSamples(std::vector<double>& out, QString& name) {
    const int count = Length_ComboBox->currentText().toInt();
    ExpressionError_Label->clear();
    switch (Source_TabWidget->currentIndex()) {
    case 0: {
        const ExpressionResult r = EvaluateExpression(Expression_Edit->text().toStdString(), count);
        if (!r.error.empty()) {
            // One position, counted from 1 in what the operator typed.
            const QString at = r.errorPosition >= 0
                                   ? QString(" at position %1.").arg(r.errorPosition + 1)
                                   : QString(".");
            ExpressionError_Label->setText(QString::fromStdString(r.error) + at);
            ShowProblem("The expression gives no waveform.");
            return false;
        }
        out = r.samples;
        name = "expression " + Expression_Edit->text();
        return true;
    }
    case 1:
        if (csvPath_.isEmpty() || !csvProblem_.isEmpty() || csvValues_.empty()) {
            if (csvPath_.isEmpty())
                ShowProblem("Open a CSV or TSV file.", false); // what to do, no error
            else
                ShowProblem(csvProblem_);
            return false;
        }
        out = ResampleLinear(csvValues_, count);
        name = QFileInfo(csvPath_).fileName() +
               QString(" column %1").arg(CsvColumn_ComboBox->currentIndex() + 1);
        return true;
    default:
        if (wavPath_.isEmpty() || !wavProblem_.isEmpty() || wavValues_.empty()) {
            if (wavPath_.isEmpty())
                ShowProblem("Open a sound file.", false);
            else
                ShowProblem(wavProblem_);
            return false;
        }
        out = ResampleLinear(wavValues_, count);
        name = QFileInfo(wavPath_).fileName() +
               QString(" channel %1").arg(WavChannel_ComboBox->currentIndex() + 1);
        return true;
    }
}

void TWaveBuilder_Form::ShowProblem(const QString& text, bool error) {
    SetStyleProperty(Problem_Label, "tone", error);
    Problem_Label->setText(text);
    Problem_Label->setAccessibleName(text.isEmpty() ? QString("No problem") : text);
}

void TWaveBuilder_Form::Rebuild() {
    samples_.clear();
    ShowProblem(QString());
    std::vector<double> built;
    QString name;
    if (SourceSamples(built, name)) {
        if (Scale_ComboBox->currentIndex() == 0) {
            NormaliseToPercent(built);
        } else if (const PercentCheck c = CheckPercent(built); c.outside > 0) {
            ShowProblem(QString("%1 samples lie outside 0..100 % (the first is n = %2, %3): "
                                "choose Normalise, or change the source.")
                            .arg(c.outside)
                            .arg(c.firstOutside)
                            .arg(built[c.firstOutside]));
            built.clear();
        }
        if (!built.empty()) {
            samples_ = std::move(built);
            sourceName_ = name;
        }
    }
    const PercentCheck c = CheckPercent(samples_);
    PreviewInfo_Label->setText(samples_.empty() ? QString("No waveform.")
                                                : QString("%1 samples, min %2 %, max %3 %")
                                                      .arg(samples_.size())
                                                      .arg(c.minimum, 0, 'f', 2)
                                                      .arg(c.maximum, 0, 'f', 2));
    display_->DrawWaveData(samples_, static_cast<int>(samples_.size()));
    Grat_Image->update();
    Wave_Image->update();
    UseOnChannel_Button->setEnabled(!samples_.empty());
    SaveText_Button->setEnabled(!samples_.empty());
}

void TWaveBuilder_Form::SaveTextClick() {
    const QString path =
        AppDialogs().saveFileName(this, "Text files (*.txt)|*.txt|All Files (*.*)|*.*", "txt");
    if (path.isEmpty())
        return;
    TArbWave wave;
    wave.Data = samples_;
    wave.WaveLength = static_cast<int32_t>(samples_.size());
    DialogOperatorUi ui(this);
    if (::SaveWaveFile(wave, QFile::encodeName(path).toStdString(), 0, true, wave.WaveLength, ui) ==
        VI_SUCCESS)
        ShowProblem(
            QString("Saved %1 samples to %2.").arg(wave.WaveLength).arg(QFileInfo(path).fileName()),
            false);
}
