// SPDX-License-Identifier: MIT
#include <QtTest>

#include "core/filelist/Wildcard.h"

using namespace ostrand;

class tst_Wildcard : public QObject
{
    Q_OBJECT

private slots:
    void match_data();
    void match();
};

void tst_Wildcard::match_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("expected");

    const auto row = [](const char* title, const char16_t* name, const char16_t* pattern, bool expected) {
        QTest::newRow(title) << QString::fromUtf16(name) << QString::fromUtf16(pattern) << expected;
    };
    row("*.* with an extension", u"a.csv", u"*.*", true);
    row("*.* without a dot", u"README", u"*.*", true);
    row("*.* on a dot name", u".profile", u"*.*", true);
    row("extension", u"prices.csv", u"*.csv", true);
    row("extension in another case", u"PRICES.Csv", u"*.csv", true);
    row("extension must end the name", u"prices.csv.bak", u"*.csv", false);
    row("longer extension", u"prices.csvx", u"*.csv", false);
    row("no dot", u"csv", u"*.csv", false);
    row("star matches nothing", u".csv", u"*.csv", true);
    row("leading-dot answer", u"a..csv", u"*..csv", true);
    row("leading-dot answer on a plain name", u"a.csv", u"*..csv", false);
    row("star answer", u"notes.txt", u"*.*", true);
    row("? is one character", u"a.txt", u"?.txt", true);
    row("? is not two", u"ab.txt", u"?.txt", false);
    row("? is not none", u".txt", u"?.txt", false);
    row("? in the extension", u"x.csv", u"*.c?v", true);
    row("several stars backtrack", u"aXbYbc", u"a*b*c", true);
    row("several stars fail", u"abcb", u"a*b*c", false);
    row("trailing star after a full match", u"data", u"data*", true);
    row("trailing star after the extension", u"a.c", u"*.c*", true);
    row("stars only", u"x", u"***", true);
    row("star alone", u"any name at all", u"*", true);
    row("literal name", u"Data.CSV", u"data.csv", true);
    row("literal differs", u"data1.csv", u"data.csv", false);
    row("non-ASCII letters ignore case", u"\u00C9t\u00E9.csv", u"\u00E9T\u00C9*", true);
    row("? takes a whole emoji", u"\U0001F600.csv", u"?.csv", true);
    row("two ? are not one emoji", u"\U0001F600.csv", u"??.csv", false);
    row("empty pattern", u"a", u"", false);
    row("pattern longer than name", u"a", u"a?", false);
}

void tst_Wildcard::match()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, expected);
    QCOMPARE(WildcardMatch(name, pattern), expected);
}

QTEST_GUILESS_MAIN(tst_Wildcard)
#include "tst_Wildcard.moc"
