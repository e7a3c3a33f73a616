// Another program with a table open: opens the table named on the command
// line (in the working folder) through the engine, says "held" on standard
// output, and keeps it open until its standard input closes.
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "store/apollo_table.h"
#include "store/app_error.h"
#include "store/sde_binding.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    std::string why;
    if (!SdeLibrary::load(&why)) {
        std::cerr << why << '\n';
        return 3;
    }
    TApolloTable table(QStringLiteral("held"));
    table.setTableName(QString::fromLocal8Bit(argv[1]));
    try {
        table.Open();
    } catch (const AppError& e) {
        std::cerr << e.message().toStdString() << '\n';
        return 4;
    }
    std::cout << "held" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    table.Close();
    return 0;
}
