// A whole program on a temporary data folder (the store tests' folder and
// engine), dialogs recorded instead of shown, and the sixteen windows made
// and dropped once per test.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <deque>
#include <memory>

#include "app/program.h"
#include "common/dialogs.h"
#include "common/format_settings.h"
#include "store/apollo_table.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/store_fixture.h"

class ProgramTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        setFormatSettings(FormatSettings{});
        previousDialogs_ = setDialogs(&dialogs_);
    }
    void TearDown() override {
        program_.reset();
        setDialogs(previousDialogs_);
        StoreTest::TearDown();
    }

    // The six tables, with the demo price list and members unless told.
    void install(bool demo = true) { StoreTest::install(demo); }
    // Makes the sixteen windows, as the program entry does.
    void start() {
        program_ = std::make_unique<Program>();
        program_->create();
    }
    Program& program() { return *program_; }
    bool exists(const QString& name) const { return QFile::exists(path(name)); }

    RecordingDialogs dialogs_;
    Dialogs* previousDialogs_ = nullptr;
    std::unique_ptr<Program> program_;
};
