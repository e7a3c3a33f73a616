// The program object: creates the sixteen windows, one instance each, in
// their fixed order, owns them until the end, and moves between them. It is
// the one place that knows every window. A test builds a whole program on a
// data folder, drives it and drops it.
#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "ui/program.h"

class Program : public QObject, public TProgram {
    Q_OBJECT
public:
    Program();
    ~Program() override;

    // Creates the windows in order, each running its creation step (the
    // data folder is the working folder). An error of a table that a window
    // opens as it is loaded is let through: start-up stops.
    void create();

    QWidget* window(Window w) const override;
    TReportHost& report(Window w) const override;
    void switchTo(QWidget* from, QWidget* to) override;
    void showWindow(QWidget* window) override;
    using TProgram::showWindow;
    void showOver(QWidget* window, QWidget* owner) override;
    using TProgram::showOver;
    void showAbout(QWidget* owner) override;
    void end() override;
    MenuActions mainMenuActions(QMainWindow* window) override;

    // The main window was closed: the program ends.
    bool ended() const { return ended_; }

signals:
    void finished();

private:
    template <class W>
    W* make(W*& slot);
    static void announceIndexRepairs();

    std::vector<std::unique_ptr<QWidget>> windows_;  // in creation order
    bool ended_ = false;
};
