// A window with global hot keys, driven by tst_global_hot_keys.
//
//   hot_key_probe [id=KEY ...]        (default: 101=P 102=M)
//
// Shows its window, then prints one "registered <id> yes|no" per argument,
// "window <native id>", "ready", and then "activated <id>" per hot-key press.
// A line "release" on stdin destroys the hot keys and prints "released"; end
// of stdin quits.

#include "app/hotkeys/global_hot_keys.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTest>
#include <QTextStream>
#include <QWidget>

#include <memory>

#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QWidget window;
    window.resize(160, 90);
    window.show();
    // Mapped before "ready", so that the test can give it the focus.
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    auto hot_keys = std::make_unique<GlobalHotKeys>(&window);
    QObject::connect(hot_keys.get(), &GlobalHotKeys::activated,
                     [&out](int id) { out << "activated " << id << Qt::endl; });
    QStringList keys = app.arguments().mid(1);
    if (keys.isEmpty())
        keys = QStringList{"101=P", "102=M"};
    for (const QString &arg : keys) {
        const QString id = arg.section('=', 0, 0);
        const QByteArray key = arg.section('=', 1).toLatin1();
        const bool ok = key.size() == 1 && hot_keys->register_hot_key(id.toInt(), key.at(0));
        out << "registered " << id << (ok ? " yes" : " no") << Qt::endl;
    }
    out << "window " << window.winId() << Qt::endl;
    out << "ready" << Qt::endl;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            app.quit();
        } else if (QByteArray(buffer, int(n)).contains("release")) {
            hot_keys.reset();
            out << "released" << Qt::endl;
        }
    });
    return app.exec();
}
