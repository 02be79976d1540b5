// The window's tests run headless with the locale set explicitly (KALVEX_TEST_LOCALE,
// for example ru_RU or en_US), so number texts do not depend on the machine.
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const char* Loc = std::getenv("KALVEX_TEST_LOCALE");
    QLocale::setDefault(QLocale(QString::fromLatin1(Loc && *Loc ? Loc : "ru_RU")));
    QApplication App(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8("Расчет систем аспирации"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
