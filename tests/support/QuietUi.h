// The operations' questions and messages answered without a window: every
// text kept, every question answered OK.
#pragma once

#include <QStringList>

#include "Operations.h"

struct QuietUi final : OperatorUi {
    QStringList messages;
    void error(const std::string& t) override { messages << QString::fromStdString(t); }
    void warning(const std::string& t) override { messages << QString::fromStdString(t); }
    void information(const std::string& t) override { messages << QString::fromStdString(t); }
    bool confirm(const std::string& t) override {
        messages << QString::fromStdString(t);
        return true;
    }
};
