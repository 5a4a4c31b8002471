#pragma once
#include <QLabel>

namespace vidrona::ui::mainwindow {

// A picture that reports clicks, for the site logos.
class ClickableImage : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace vidrona::ui::mainwindow
