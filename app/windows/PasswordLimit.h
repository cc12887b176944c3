#pragma once
// A password field holds at most as many bytes as the engine takes for a
// key: 32 bytes of UTF-8, in which a letter such as "ü" counts twice and
// some signs count three or four times. Counting characters instead would
// let a password through that every file of the batch then fails on.
//
// Input that would go past the limit is cut back to what fits, the
// characters just typed or pasted going first (so a key typed at the
// limit is refused and the field keeps what it had), never half a
// character; a short note beside the field says why.
#include "application/PasswordBytes.h"

#include <QValidator>

class QLineEdit;

namespace tessarin {

class PasswordLimit : public QValidator {
    Q_OBJECT
public:
    static constexpr int MaxBytes = PasswordBytes::MaxBytes;

    // Limits field, which owns the limit.
    explicit PasswordLimit(QLineEdit* field);

    State validate(QString& input, int& pos) const override;

    // The note shown when input is cut.
    static QString Note();

signals:
    // Input was cut to fit; the note is up.
    void Refused() const;

private:
    QLineEdit* m_field;
};

} // namespace tessarin
