#include "OperatorDialogs.h"

#include <QString>

#include "Dialogs.h"

namespace {
QString Text(const std::string& text) {
    return QString::fromLocal8Bit(text.c_str());
}
} // namespace

void DialogOperatorUi::error(const std::string& text) {
    if (problem_)
        problem_(text);
    AppDialogs().message(parent_, Dialogs::Kind::Error, Text(text));
}

void DialogOperatorUi::warning(const std::string& text) {
    AppDialogs().message(parent_, Dialogs::Kind::Warning, Text(text));
}

void DialogOperatorUi::information(const std::string& text) {
    if (problem_)
        problem_(text);
    AppDialogs().message(parent_, Dialogs::Kind::Information, Text(text));
}

bool DialogOperatorUi::confirm(const std::string& text) {
    return AppDialogs().message(parent_, Dialogs::Kind::Confirmation, Text(text)) ==
           Dialogs::Answer::Ok;
}
