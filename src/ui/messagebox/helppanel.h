#pragma once
#include <QObject>

class QPushButton;

namespace vidrona::ui::messagebox {

// "H e l p !" and "About" of the main window, shown in the skinned box.
// It also holds the box's button pictures for as long as the window lives.
class HelpPanel : public QObject
{
    Q_OBJECT
public:
    HelpPanel(QPushButton *helpButton, QPushButton *aboutButton, QObject *parent = nullptr);

    void startUp();  // loads the button pictures
    void shutDown(); // and frees them again

private slots:
    void helpClicked();
    void aboutClicked();
};

} // namespace vidrona::ui::messagebox
