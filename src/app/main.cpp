#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("NivexDataCoff"));
    window.show();
    return app.exec();
}
