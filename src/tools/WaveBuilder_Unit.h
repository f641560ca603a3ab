// The "Waveform Builder" window: an arbitrary waveform from an expression, a
// CSV/TSV column or a sound file, resampled to a power-of-two length, made
// percent of full scale, previewed, then put on a channel or saved as a
// text waveform file.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "CsvTable.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TDisplay;
class TElidedLabel;
class TImage;

class TWaveBuilder_Form : public QDialog {
    Q_OBJECT
public:
    explicit TWaveBuilder_Form(QWidget* parent = nullptr);
    ~TWaveBuilder_Form() override;

    // The channel "Use on Channel N" puts the samples on.
    void setChannel(int channel);
    // Receives the samples and the source's name when "Use on Channel" is pressed.
    using UseHandler = std::function<void(int channel, const std::vector<double>& samples,
                                          const QString& sourceName)>;
    void setUseHandler(UseHandler handler) { use_ = std::move(handler); }

    // Opens a source file as its button would (the path instead of a dialog).
    bool OpenCsv(const QString& path);
    bool OpenWav(const QString& path);

    // The samples built, empty when the source gives none usable.
    const std::vector<double>& Samples() const { return samples_; }

    QTabWidget* Source_TabWidget;
    QLineEdit* Expression_Edit;
    QLabel* ExpressionError_Label;
    QPushButton* OpenCsv_Button;
    TElidedLabel* CsvFile_Label;
    TElidedLabel* CsvFormat_Label;
    QComboBox* CsvColumn_ComboBox;
    QPushButton* OpenWav_Button;
    TElidedLabel* WavFile_Label;
    TElidedLabel* WavInfo_Label;
    QComboBox* WavChannel_ComboBox;
    QComboBox* Length_ComboBox;
    QComboBox* Scale_ComboBox;
    TImage* Grat_Image;
    TImage* Wave_Image;
    QLabel* PreviewInfo_Label;
    QLabel* Problem_Label;
    QPushButton* UseOnChannel_Button;
    QPushButton* SaveText_Button;
    QPushButton* Close_Button;

private:
    QWidget* CreateExpressionPage();
    QWidget* CreateCsvPage();
    QWidget* CreateWavPage();
    void CreateOutput();
    // The source's values at the chosen length, or false with the reason shown.
    bool SourceSamples(std::vector<double>& out, QString& name);
    void Rebuild();
    // A problem in red; what the operator is to do next (`error` false) not.
    void ShowProblem(const QString& text, bool error = true);
    void ReadCsvColumnChosen();
    void ReadWavChannelChosen();
    void SaveTextClick();
    // Each source keeps its own length: the one shown is the source's.
    void ShowSourceLength();
    void SetSourceLength(int tab, int length);

    int channel_ = 1;
    int lengths_[3] = {1024, 1024, 1024}; // of each source tab
    UseHandler use_;
    std::vector<double> samples_;
    QString sourceName_;
    // The file sources: their text or path, and the values read from them.
    QByteArray csvText_;
    QString csvPath_, wavPath_;
    CsvFormat csvFormat_;
    std::vector<double> csvValues_, wavValues_;
    QString csvProblem_, wavProblem_;
    std::unique_ptr<TDisplay> display_;
};
