#pragma once
// Refuses typing that makes a field longer than its limit, while a longer text put there by the
// program (for example from the settings) stays as it is and can still be shortened.

#include <QLineEdit>
#include <QValidator>

namespace tarnwell {

class TypingLimit : public QValidator {
    Q_OBJECT
  public:
    TypingLimit(QLineEdit* field, int limit);

    State validate(QString& input, int& position) const override;

  private:
    int limit_;
    // The field's text before the edit under validation (the field already holds the new one).
    QString previous_;
};

}  // namespace tarnwell
