// The application object. An error that an event handler lets through ends
// up here: it is shown in the standard error box and the program goes on.
#pragma once

#include <QApplication>

class TCaisseApplication : public QApplication {
    Q_OBJECT
public:
    TCaisseApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
