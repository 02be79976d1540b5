// The desktop program. Placeholder window until the main window lands.
#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication App(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8("Расчет систем аспирации"));
    QMainWindow W;
    W.setWindowTitle(QString::fromUtf8("Kalvex 2 - Система1.asp"));
    W.showMaximized();
    return QApplication::exec();
}
