#pragma once
#include <QObject>

class QPushButton;

namespace vidrona {

// "H e l p !" and "About" of the main window, shown in the skinned box.
// It also holds the box's button pictures for as long as the window lives.
class HelpPanel : public QObject
{
    Q_OBJECT
public:
    HelpPanel(QPushButton *cmdContacts, QPushButton *Command2, QObject *parent = nullptr);

    void Form_Load();   // loads the button pictures
    void Form_Unload(); // and frees them again

private slots:
    void cmdContacts_Click();
    void Command2_Click();
};

} // namespace vidrona
