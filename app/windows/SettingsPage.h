#pragma once
// One page of the settings dialog: its controls, each bound to a field of
// AppSettings. The page shows the values it is given and writes its
// controls back; a page with a greying rule applies it whenever it shows
// values (Load) and when its switch is clicked. Titles, labels, items and
// bindings come from the shared settings table, by id.
#include "application/AppSettings.h"

#include <span>

#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessarin {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    // id: the page's resource number, kept as its object name.
    SettingsPage(int id, QWidget* parent);

    const QString& Title() const { return m_title; }

    // Controls from values, then the page's greying rule.
    void Load(const AppSettings& settings);
    // Values from controls.
    void Store(AppSettings& settings) const;

    // The control of an id in the table, named by its id and bound to its
    // field.
    QCheckBox* AddCheck(int id);
    QComboBox* AddList(int id);
    QLineEdit* AddEdit(int id);
    QGroupBox* AddGroup(int id);
    QPushButton* AddButton(int id);
    // The label that the table puts just before the buddy's control; its
    // "&" gives the buddy its key.
    QLabel* AddLabelFor(QWidget* buddy);

protected:
    // Enables the controls of the ids when on, greys them otherwise.
    void Grey(std::span<const int> ids, bool on) const;

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
