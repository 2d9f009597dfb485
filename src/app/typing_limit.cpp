#include "app/typing_limit.h"

namespace tarnwell {

TypingLimit::TypingLimit(QLineEdit* field, int limit)
    : QValidator(field), limit_(limit), previous_(field->text()) {
    // Every accepted edit and every text set by the program passes here.
    connect(field, &QLineEdit::textChanged, this,
            [this](const QString& text) { previous_ = text; });
}

QValidator::State TypingLimit::validate(QString& input, int&) const {
    if (input.size() <= limit_ || input.size() <= previous_.size()) return Acceptable;
    return Invalid;
}

}  // namespace tarnwell
