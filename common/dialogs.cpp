#include "common/dialogs.h"

#include "store/app_error.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// Qt's own file dialog, which speaks the program's language, rather than the
// desktop's, which would speak the system's.
constexpr QFileDialog::Options kOwnDialog = QFileDialog::DontUseNativeDialog;

// The window a box belongs to: the active one, so it shows on top of it.
QWidget* owner() { return QApplication::activeWindow(); }

class QtDialogs final : public Dialogs {
public:
    void showMessage(const QString& text) override {
        QMessageBox::information(owner(), QApplication::applicationName(), text);
    }
    void showError(const QString& text) override {
        QMessageBox::critical(owner(), QApplication::applicationName(), text);
    }
    bool confirm(const QString& text) override {
        return QMessageBox::question(owner(), QApplication::applicationName(), text,
                                     QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Cancel) == QMessageBox::Ok;
    }
    QString openFileName(const QString& title, const QString& folder,
                         const QString& filter) override {
        return QFileDialog::getOpenFileName(owner(), title, folder, filter, nullptr, kOwnDialog);
    }
    QString saveFileName(const QString& title, const QString& folder,
                         const QString& filter) override {
        return QFileDialog::getSaveFileName(owner(), title, folder, filter, nullptr, kOwnDialog);
    }
    QString existingFolder(const QString& title, const QString& folder) override {
        return QFileDialog::getExistingDirectory(owner(), title, folder,
                                                 QFileDialog::ShowDirsOnly | kOwnDialog);
    }
};

QtDialogs qtDialogs;
Dialogs* current = &qtDialogs;

}  // namespace

Dialogs& dialogs() { return *current; }

Dialogs* setDialogs(Dialogs* d) {
    Dialogs* previous = current;
    current = d ? d : &qtDialogs;
    return previous;
}

bool runGuarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const AppError& e) {
        dialogs().showError(e.message());
    } catch (const std::exception& e) {
        dialogs().showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
