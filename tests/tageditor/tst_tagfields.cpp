// The value rules of the tag editor: track numbers from free text, genre items, the library's path.

#include "core/tags/TagFields.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

class TestTagFields : public QObject {
    Q_OBJECT

  private slots:
    void genreIndexOfTypedText() {
        const QStringList items{QStringLiteral("000 - Blues"), QStringLiteral("001 - Classic Rock"),
                                QStringLiteral("002 - Country"), QStringLiteral("003 - ")};
        QCOMPARE(core::genreIndexOfText(QStringLiteral("classic rock"), items), 1);
        QCOMPARE(core::genreIndexOfText(QStringLiteral(" 002 - COUNTRY "), items), 2);
        QCOMPARE(core::genreIndexOfText(QStringLiteral("003 - "), items), 3);
        QCOMPARE(core::genreIndexOfText(QStringLiteral("Rock"), items), -1);
        QCOMPARE(core::genreIndexOfText(QStringLiteral("  "), items), -1);
    }

    void trackNumberValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");

        const int highest = std::numeric_limits<qint32>::max();
        const int lowest = std::numeric_limits<qint32>::min();
        auto row = [](const char* text, int value) {
            QTest::newRow(text) << QString::fromUtf8(text) << value;
        };
        row("12", 12);
        row("abc", 0);
        row("2.5", 2);
        row("3.5", 4);
        row("-2.5", -2);
        row("2.51", 3);
        row("7a", 7);
        row("1 2", 12);
        row(" 4 ", 4);
        row("-3", -3);
        row("2.5e1", 25);
        row("1e", 1);
        row("1,5", 1);
        row("0x10", 0);
        row("１２", 0); // full-width digits are not a number
        row("2147483647", highest);
        row("99999999999", highest);
        row("1e400", highest);
        row("-2147483648", lowest);
        row("-1e400", lowest);
        row("1e-400", 0);
        QTest::newRow("400 digits") << QString(400, u'9') << highest;
    }

    void trackNumberValue() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(core::trackNumberValue(text), value);
    }

    void genreItemText_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("item");
        QTest::newRow("first") << 0 << QStringLiteral("Blues") << QStringLiteral("000 - Blues");
        QTest::newRow("blanks around the name dropped")
            << 7 << QStringLiteral("  Hip-Hop ") << QStringLiteral("007 - Hip-Hop");
        QTest::newRow("no name") << 255 << QString() << QStringLiteral("255 - ");
        QTest::newRow("Japanese name") << 42 << QStringLiteral("ｿｳﾙ") << QStringLiteral("042 - ｿｳﾙ");
    }

    void genreItemText() {
        QFETCH(int, number);
        QFETCH(QString, name);
        QFETCH(QString, item);
        QCOMPARE(core::genreItemText(number, name), item);
    }

    void libraryPathIsTrimmedUnlessTheExactNameExists() {
        QTemporaryDir folder;
        const QString plain = folder.filePath(QStringLiteral("a.mp3"));
        const QString blank = folder.filePath(QStringLiteral("b.mp3 "));
        QFile(plain).open(QIODevice::WriteOnly);
        QFile(blank).open(QIODevice::WriteOnly);

        QCOMPARE(core::tagLibraryPath(plain), plain);
        QCOMPARE(core::tagLibraryPath(QStringLiteral("  ") + plain + QStringLiteral(" ")), plain);
        // A name that really ends in a blank is that file, not another one.
        QCOMPARE(core::tagLibraryPath(blank), blank);
        QCOMPARE(core::tagLibraryPath(folder.filePath(QStringLiteral("gone.mp3 "))),
                 folder.filePath(QStringLiteral("gone.mp3")));
    }
};

QTEST_MAIN(TestTagFields)
#include "tst_tagfields.moc"
