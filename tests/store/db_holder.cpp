// Opens the measurement database in a separate process and holds it open until its
// standard input closes, so tests can meet a file that another program has open.
#include "base/exception.h"
#include "store/database.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: db_holder <program folder with trailing separator>\n";
        return 64;
    }
    nx::store::Database db;
    try {
        db.open(QString::fromLocal8Bit(argv[1]));
    } catch (const nx::Exception& e) {
        std::cout << "error: " << e.what() << std::endl;
        return 2;
    }
    std::cout << "open" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
