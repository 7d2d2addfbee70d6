// The baseline for idle CPU, start-up time and memory: the smallest Qt 6
// widget program, an empty window of the main window's size. With the
// argument "text" it shows one line of Cyrillic text, so that it pays, as
// any window with text does, for loading the system's fonts.

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("idle window"));
    window.resize(774, 300);
    if (argc > 1 && qstrcmp(argv[1], "text") == 0)
        new QLabel(QStringLiteral("Яркость"), &window);
    window.show();
    return app.exec();
}
