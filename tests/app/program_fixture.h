// A whole program on a temporary data folder: the engine loaded, the process
// working in the folder, dialogs recorded instead of shown, and the sixteen
// windows made and dropped once per test.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>

#include "app/program.h"
#include "common/dialogs.h"
#include "common/format_settings.h"
#include "store/apollo_env.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "tools/data_folder_installer.h"

// Records every box; confirmations and file dialogs answer from queues.
class RecordingDialogs : public Dialogs {
public:
    void showMessage(const QString& text) override { messages << text; }
    void showError(const QString& text) override { errors << text; }
    bool confirm(const QString& text) override {
        confirmations << text;
        return confirmAnswer;
    }
    QString openFileName(const QString&, const QString&, const QString&) override {
        return nextFile();
    }
    QString saveFileName(const QString&, const QString&, const QString&) override {
        return nextFile();
    }
    QString nextFile() {
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }

    QStringList messages, errors, confirmations;
    bool confirmAnswer = true;
    std::deque<QString> files;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(SdeLibrary::load(&why)) << why;
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        TApolloEnv::current() = TApolloEnv::Settings{};
        setFormatSettings(FormatSettings{});
        previousDialogs_ = setDialogs(&dialogs_);
    }
    void TearDown() override {
        program_.reset();
        setDialogs(previousDialogs_);
        QDir::setCurrent(previous_);
    }

    // The six tables, empty or with the demo price list and members.
    void install(bool demo = true) {
        auto r = installDataFolder(dir_.path(), demo);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }
    // Makes the sixteen windows, as the program entry does.
    void start() {
        program_ = std::make_unique<Program>();
        program_->create();
    }
    Program& program() { return *program_; }
    QString path(const QString& name) const { return dir_.filePath(name); }
    bool exists(const QString& name) const { return QFile::exists(path(name)); }

    QTemporaryDir dir_;
    QString previous_;
    RecordingDialogs dialogs_;
    Dialogs* previousDialogs_ = nullptr;
    std::unique_ptr<Program> program_;
};
