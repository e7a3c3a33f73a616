// The window tests share one application object, as the program does.
#include <gtest/gtest.h>

#include "app/application.h"

namespace {

QtMessageHandler standardHandler = nullptr;

// The offscreen platform says so each time a window is raised; only that
// chatter is dropped.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (standardHandler) standardHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(quietHandler);
    TCaisseApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
