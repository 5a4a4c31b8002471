#pragma once
#include <QLabel>

namespace vidrona::ui::youtube {

// A one-line label whose text, however long (a video title of hundreds of
// characters), never widens its window: it takes the room the layout gives
// it and shows as much of the text as fits, ending with "...". text()
// keeps the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace vidrona::ui::youtube
