#pragma once

// The common ground of the settings dialogs: built from a dialog template, controls found by
// their IDs, Enter and Escape handled as the Windows dialog manager does, and closing as if
// cancelled when the system's display configuration changes (a screen added, removed or
// resized). User-interface thread only.

#include "dialogs/DialogTemplate.h"
#include "platform/messages/NotifyTarget.h"

#include <QDialog>

#include <map>

namespace kerrion {

// Settings changed (wParam non-zero: the meter count changed too; lParam the meter, -1 all).
constexpr uint32_t kMsgSettingsChanged = WM_USER + 3;

class TemplateDialog : public QDialog {
    Q_OBJECT

public:
    // The control with this ID, or null.
    QWidget* Control(int id) const;
    template <class T>
    T* ControlAs(int id) const
    {
        return qobject_cast<T*>(Control(id));
    }

    const DialogBaseUnits& BaseUnits() const { return m_baseUnits; }

protected:
    TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

    // Adds a control created at run time so that Control finds it.
    void RegisterControl(int id, QWidget* control);

    // Enter presses the push button that has the focus, else the OK step (accept); Escape
    // cancels (reject).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void WatchScreens();

    DialogBaseUnits m_baseUnits;
    std::map<int, QWidget*> m_controls;
};

} // namespace kerrion
