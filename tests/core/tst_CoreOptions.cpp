// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/options/ColorNumber.h"
#include "core/options/Delimiter.h"

using namespace ostrand;

class tst_CoreOptions : public QObject
{
    Q_OBJECT

private slots:
    void resolveDelimiter_data();
    void resolveDelimiter();
    void parseColor_data();
    void parseColor();
};

void tst_CoreOptions::resolveDelimiter_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("delimiter");
    const QString other = QStringLiteral("::");
    QTest::newRow("comma") << int(DelimiterOption::Comma) << other << QStringLiteral(",");
    QTest::newRow("comma-space") << int(DelimiterOption::CommaSpace) << other << QStringLiteral(", ");
    QTest::newRow("semicolon") << int(DelimiterOption::Semicolon) << other << QStringLiteral(";");
    QTest::newRow("tab") << int(DelimiterOption::Tab) << other << QStringLiteral("\t");
    QTest::newRow("other") << int(DelimiterOption::Other) << other << other;
    QTest::newRow("other, empty") << int(DelimiterOption::Other) << QString() << QString();
    QTest::newRow("none selected") << int(DelimiterOption::None) << other << QString();
}

void tst_CoreOptions::resolveDelimiter()
{
    QFETCH(int, option);
    QFETCH(QString, other);
    QFETCH(QString, delimiter);
    QCOMPARE(ResolveDelimiter(DelimiterOption(option), other), delimiter);
}

void tst_CoreOptions::parseColor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("value");
    QTest::newRow("number") << QStringLiteral("65280") << true << qint64(65280);
    QTest::newRow("eight hex digits' worth") << QStringLiteral("2147483653") << true << qint64(2147483653);
    QTest::newRow("negative") << QStringLiteral("-1") << true << qint64(-1);
    QTest::newRow("hash red") << QStringLiteral("#FF0000") << true << qint64(255);
    QTest::newRow("hash blue") << QStringLiteral("#0000ff") << true << qint64(16711680);
    QTest::newRow("hash silver") << QStringLiteral("#C0C0C0") << true << qint64(12632256);
    QTest::newRow("empty") << QString() << false << qint64(0);
    QTest::newRow("word") << QStringLiteral("red") << false << qint64(0);
    QTest::newRow("plus sign") << QStringLiteral("+5") << false << qint64(0);
    QTest::newRow("too large") << QStringLiteral("4294967296") << false << qint64(0);
    QTest::newRow("too small") << QStringLiteral("-2147483649") << false << qint64(0);
    QTest::newRow("hash short") << QStringLiteral("#FFF") << false << qint64(0);
    QTest::newRow("hash not hex") << QStringLiteral("#GG0000") << false << qint64(0);
    QTest::newRow("hash with sign") << QStringLiteral("#+F0000") << false << qint64(0);
}

void tst_CoreOptions::parseColor()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, value);
    const Result<qint64> parsed = ostrand::parseColor(text);
    QCOMPARE(parsed.ok(), valid);
    if (valid)
        QCOMPARE(parsed.value(), value);
    else
        QCOMPARE(parsed.error(), QStringLiteral("\"") + text +
                                     QStringLiteral("\" is not a colour: give a colour number (red + 256*green + "
                                                    "65536*blue) or #RRGGBB"));
}

QTEST_GUILESS_MAIN(tst_CoreOptions)
#include "tst_CoreOptions.moc"
