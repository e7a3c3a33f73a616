// The about box: the program's title and version, read from the program file
// each time the box becomes active, and our name and contact lines.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Shows the box without blocking the window that opened it; when it is
    // already open, only brings it to the front.
    void showOnTop();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormActivate();
    void OKButtonClick();
    void centreOnScreen();

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Label1;  // the program's title
    QLabel* Version;
    QLabel* Label2;  // the version text
    QLabel* Copyright;
    QLabel* Label3;  // our company name
    QLabel* Label5;  // web, e-mail, telephone, fax
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Comments;
    QLabel* Label4;
    QPushButton* OKButton;
};
