#pragma once
// The context-help strings of the Qt windows, numbered by the id of the control
// they describe (the control's objectName).
#include <QString>

class QWidget;

namespace tessarin {

class HelpTexts {
public:
    // The help string of a control id, or an empty string when it has none.
    static QString ForId(int id);

    // Gives every descendant of root whose objectName is a control id with a
    // help string that string as its what's-this text.
    static void Apply(QWidget* root);
};

} // namespace tessarin
