#pragma once
// The "Compression" page: the switch and the "File Filtering" group (format,
// level, the exclusion list and its case rule), all greyed while
// compression is off.
#include "SettingsPage.h"

class QCheckBox;
class QGroupBox;

namespace tessarin {

class CompressionPage : public SettingsPage {
    Q_OBJECT
public:
    explicit CompressionPage(QWidget* parent);

protected:
    void ApplyExchangeRule() override;

private:
    void ApplyGreying(bool on);

    QCheckBox* m_compress;
    QGroupBox* m_frame;
};

} // namespace tessarin
