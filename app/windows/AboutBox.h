#pragma once
// "About Tessarin": the title, the two addresses where the program is
// published, a short guide with the program's limits, and the live report
// of which engine and library versions are present and which are missing.
#include <QDialog>

class QPlainTextEdit;

namespace tessarin {

class StyledLabel;

class AboutBox : public QDialog {
    Q_OBJECT
public:
    // Reads the version report of the modules as they are now.
    explicit AboutBox(QWidget* parent);
    // With a report made elsewhere.
    AboutBox(const QString& versionReport, QWidget* parent);

    // The whole guide: what the program is, its constraints, the version
    // report, thanks and license. Lines end with CR LF.
    static QString Guide(const QString& versionReport);

    // The guide as the box holds it.
    const QString& GuideText() const { return m_guide; }

private:
    QString m_guide;
};

} // namespace tessarin
