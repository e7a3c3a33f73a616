// A data folder with the program's six tables, the engine loaded, and the
// process working in that folder for the time of one test.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "store/apollo_env.h"
#include "store/sde_binding.h"
#include "tools/data_folder_installer.h"

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(SdeLibrary::load(&why)) << why;
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        TApolloEnv::current() = TApolloEnv::Settings{};
        TApolloEnv::current().deleted = true;
        TApolloEnv::current().century = true;
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    // The six tables, empty (demo = false) or with the demo content.
    void install(bool demo = false) {
        auto r = installDataFolder(dir_.path(), demo);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    QString previous_;
};
