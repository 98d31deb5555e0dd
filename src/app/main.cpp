#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel placeholder(QStringLiteral("Vedomec 2001"));
    placeholder.show();
    app.exec();
    return 0;
}
