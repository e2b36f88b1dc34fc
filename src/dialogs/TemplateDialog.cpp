#include "dialogs/TemplateDialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace kerrion {

// A fixed-size dialog offers a title, a close button and moving, nothing to minimise or
// maximise; owned by its parent, it is transient for it and above it.
constexpr Qt::WindowFlags kDialogFlags
    = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent, kDialogFlags)
{
    m_controls = BuildFromTemplate(*this, dialogTemplate, m_baseUnits);
    WatchScreens();
}

QWidget* TemplateDialog::Control(int id) const
{
    const auto found = m_controls.find(id);
    return found != m_controls.end() ? found->second : nullptr;
}

void TemplateDialog::RegisterControl(int id, QWidget* control)
{
    control->setObjectName(QStringLiteral("control%1").arg(id));
    control->setProperty("controlId", id);
    m_controls[id] = control;
}

void TemplateDialog::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && plain) {
        // A focused push button takes Enter for itself; anywhere else Enter is the OK step.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->isVisible() && button->isEnabled())
            button->click();
        else
            accept();
        return;
    }
    if (key == Qt::Key_Escape && plain) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TemplateDialog::WatchScreens()
{
    // A changed display configuration (resolution, monitors added or removed) ends the dialog
    // as if cancelled: the main window lays itself out again and the dialog's place may be gone.
    const auto cancel = [this] { reject(); };
    connect(qApp, &QGuiApplication::screenAdded, this, cancel);
    connect(qApp, &QGuiApplication::screenRemoved, this, cancel);
    for (QScreen* screen : QGuiApplication::screens())
        connect(screen, &QScreen::geometryChanged, this, cancel);
}

} // namespace kerrion
