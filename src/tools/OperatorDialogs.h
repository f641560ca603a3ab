// The operations' messages and questions, shown through the program's dialogs.
#pragma once

#include <functional>

#include "Operations.h"

class QWidget;

class DialogOperatorUi final : public OperatorUi {
public:
    explicit DialogOperatorUi(QWidget* parent) : parent_(parent) {}
    void error(const std::string& text) override;
    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    bool confirm(const std::string& text) override;
    // Runs with the text of every error and information box shown: the
    // operations tell their failures through those two.
    void onProblem(std::function<void(const std::string&)> problem) {
        problem_ = std::move(problem);
    }

private:
    QWidget* parent_;
    std::function<void(const std::string&)> problem_;
};
