#pragma once
// One page of the settings dialog: its controls, each bound to a field of
// AppSettings. The page shows the values it is given and writes its
// controls back; a page with a greying rule applies it whenever it shows
// values (Load) and when its switch is clicked.
#include "application/AppSettings.h"

#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace tessarin {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    // id: the page's resource number, kept as its object name.
    SettingsPage(int id, const QString& title, QWidget* parent);

    const QString& Title() const { return m_title; }

    // Controls from values, then the page's greying rule.
    void Load(const AppSettings& settings);
    // Values from controls.
    void Store(AppSettings& settings) const;

    // Controls named by their ids and bound to a field.
    QCheckBox* AddCheck(int id, const QString& text, std::int32_t AppSettings::*field);
    QComboBox* AddList(int id, const QStringList& items, std::int32_t AppSettings::*field, bool editable = false);
    QLineEdit* AddEdit(int id, QString AppSettings::*field);
    // A label; id 0 for a label without one. A buddy gives "&" its key.
    QLabel* AddLabel(int id, const QString& text, QWidget* buddy = nullptr);

protected:
    virtual void LoadExtra(const AppSettings&) {}
    virtual void StoreExtra(AppSettings&) const {}
    // The greying that data exchange applies.
    virtual void ApplyExchangeRule() {}

private:
    struct Binding {
        std::function<void(const AppSettings&)> load;
        std::function<void(AppSettings&)> store;
    };
    QString m_title;
    std::vector<Binding> m_bindings;
};

} // namespace tessarin
