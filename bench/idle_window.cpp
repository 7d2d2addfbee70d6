// The baseline for idle CPU, start-up time and memory: the smallest Qt 6
// widget program, an empty window of the main window's size.

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("idle window"));
    window.resize(774, 300);
    window.show();
    return app.exec();
}
