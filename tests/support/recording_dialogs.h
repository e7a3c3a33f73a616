// Dialogs that record every box instead of showing it: confirmations
// answer `confirmAnswer`, file and folder dialogs answer from the queue
// `files` (a save dialog with an empty queue answers `saveAnswer`). No test
// blocks.
#pragma once

#include <QStringList>
#include <deque>

#include "common/dialogs.h"

class RecordingDialogs : public Dialogs {
public:
    void showMessage(const QString& text) override { messages << text; }
    void showError(const QString& text) override { errors << text; }
    bool confirm(const QString& text) override {
        confirmations << text;
        return confirmAnswer;
    }
    QString openFileName(const QString& title, const QString&, const QString& filter) override {
        openTitles << title + QStringLiteral(" | ") + filter;
        return nextFile();
    }
    QString saveFileName(const QString& title, const QString&, const QString& filter) override {
        saveTitles << title + QStringLiteral(" | ") + filter;
        return files.empty() ? saveAnswer : nextFile();
    }
    QString existingFolder(const QString& title, const QString&) override {
        folderTitles << title;
        return nextFile();
    }
    QString nextFile() {
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }

    QStringList messages, errors, confirmations, openTitles, saveTitles, folderTitles;
    bool confirmAnswer = true;
    std::deque<QString> files;
    QString saveAnswer;
};

// Installs recording dialogs for the life of the object.
class RecordingDialogsScope : public RecordingDialogs {
public:
    RecordingDialogsScope() { previous_ = setDialogs(this); }
    ~RecordingDialogsScope() override { setDialogs(previous_); }
    RecordingDialogsScope(const RecordingDialogsScope&) = delete;
    RecordingDialogsScope& operator=(const RecordingDialogsScope&) = delete;

private:
    Dialogs* previous_ = nullptr;
};
