#pragma once

// A static control that reports clicks (the colour swatches). User-interface thread only.

#include <QLabel>

namespace kerrion {

class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace kerrion
