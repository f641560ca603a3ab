// The operations' messages and questions, shown through the program's dialogs.
#pragma once

#include <functional>

#include "Operations.h"

class QWidget;

class DialogOperatorUi final : public OperatorUi {
public:
    // `outputChanged`, when given, runs when an operation switched an output.
    explicit DialogOperatorUi(QWidget* parent, std::function<void(int)> outputChanged = {})
        : parent_(parent), outputChanged_(std::move(outputChanged)) {}
    void error(const std::string& text) override;
    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void outputChanged(int channel) override;
    // Runs with the text of every error and information box shown: the
    // operations tell their failures through those two.
    void onProblem(std::function<void(const std::string&)> problem) {
        problem_ = std::move(problem);
    }

private:
    QWidget* parent_;
    std::function<void(int)> outputChanged_;
    std::function<void(const std::string&)> problem_;
};
