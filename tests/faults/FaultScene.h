// SPDX-License-Identifier: MIT
#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "support/core/TempTree.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace ostrand::test {

// The scene every fault test plays in: three sources in in/ (a small a.csv, a large big.csv, a small c.csv)
// and an out/ folder holding documents of an earlier run, among them the only copy of big.htm.
class FaultScene
{
public:
    explicit FaultScene(qsizetype bigBytes = 4 * 1024 * 1024)
    {
        in = tree.makeFolder(QStringLiteral("in"));
        out = tree.makeFolder(QStringLiteral("out"));
        a = tree.writeFile(QStringLiteral("in/a.csv"), "a,b\r\n");
        c = tree.writeFile(QStringLiteral("in/c.csv"), "c,d\r\n");
        QByteArray bytes;
        bytes.reserve(bigBytes + kBigLine.size());
        while (bytes.size() < bigBytes)
            bytes += kBigLine;
        bigLines = bytes.size() / kBigLine.size();
        big = tree.writeFile(QStringLiteral("in/big.csv"), bytes);
        plantEarlierDocuments(out);
        inputs = checksums(in);
    }

    // The earlier documents: the only copy of big.htm, and one no source of the run touches.
    static void plantEarlierDocuments(const QString& folder)
    {
        writeBytes(folder + QStringLiteral("/big.htm"), "the only copy of an earlier table\r\n");
        writeBytes(folder + QStringLiteral("/old.htm"), "an unrelated earlier table\r\n");
    }

    static void writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    // SHA-256 of every file under a folder (hidden ones included, so a temporary file shows), by relative
    // path; a folder or other entry shows as "<not a file>".
    static QMap<QString, QByteArray> checksums(const QString& root)
    {
        QMap<QString, QByteArray> sums;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QByteArray sum = QByteArrayLiteral("<not a file>");
            QFile file(path);
            if (it.fileInfo().isFile() && file.open(QIODevice::ReadOnly)) {
                QCryptographicHash hash(QCryptographicHash::Sha256);
                hash.addData(&file);
                sum = hash.result().toHex();
            }
            sums.insert(path.mid(root.size() + 1), sum);
        }
        return sums;
    }

    static QByteArray sha256(const QByteArray& bytes)
    {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    }

    // A document as the table's reader expects it, from its rows of fields, with the default options.
    static QByteArray document(const QList<QByteArrayList>& rows)
    {
        QByteArray text = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                          "bgcolor='#FFFFFF'><tbody>\r\n";
        for (const QByteArrayList& row : rows) {
            text += "<tr>\r\n";
            for (const QByteArray& field : row)
                text += "<td>" + field + "</td>";
            text += "</tr>\r\n";
        }
        return text + "</body></html>\r\n";
    }

    // What out/ holds when the earlier documents are untouched and the given sources' documents are written.
    QMap<QString, QByteArray> expectedOut(bool aWritten, bool bigWritten, bool cWritten) const
    {
        QMap<QString, QByteArray> sums = {{QStringLiteral("big.htm"), sha256("the only copy of an earlier table\r\n")},
                                          {QStringLiteral("old.htm"), sha256("an unrelated earlier table\r\n")}};
        if (aWritten)
            sums.insert(QStringLiteral("a.htm"), sha256(document({{"a", "b"}})));
        if (cWritten)
            sums.insert(QStringLiteral("c.htm"), sha256(document({{"c", "d"}})));
        if (bigWritten)
            sums.insert(QStringLiteral("big.htm"), sha256(bigDocument()));
        return sums;
    }

    QByteArray bigDocument() const
    {
        QByteArray text = "<html><title></title><body><table width='100%' style='color:#000000' border='1' "
                          "bgcolor='#FFFFFF'><tbody>\r\n";
        const QByteArray row = "<tr>\r\n<td>field one</td><td>field two</td><td>field three</td></tr>\r\n";
        text.reserve(text.size() + bigLines * row.size() + 20);
        for (qsizetype i = 0; i < bigLines; ++i)
            text += row;
        return text + "</body></html>\r\n";
    }

    static bool isRoot()
    {
#ifdef Q_OS_UNIX
        return ::geteuid() == 0;
#else
        return false;
#endif
    }

    // Mounts a tmpfs of the given size on the folder; false where the test may not mount.
    static bool mountSmallDisk(const QString& folder, qsizetype bytes)
    {
        if (!isRoot())
            return false;
        return QProcess::execute(QStringLiteral("mount"),
                                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                  QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), folder}) == 0;
    }
    static void unmount(const QString& folder)
    {
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder});
    }

    static inline const QByteArray kBigLine = "field one,field two,field three\r\n";

    TempTree tree;
    QString in;
    QString out;
    QString a;
    QString big;
    QString c;
    qsizetype bigLines = 0;
    QMap<QString, QByteArray> inputs; // checksums of in/ before the run
};

// A run of many small sources, many/m000.csv and on, each with an earlier document in out/, and the large
// source of the scene among them when asked; the field of one source may be made longer, so that its document
// alone has its size.
struct ManySmall
{
    ManySmall(FaultScene& scene, int count, int longOne = -1, int bigAfter = -1)
    {
        scene.tree.makeFolder(QStringLiteral("many"));
        arguments = QStringList{QStringLiteral("--output-dir"), QStringLiteral("out")};
        for (int i = 0; i < count; ++i) {
            const QByteArray name = "m" + QByteArray::number(i).rightJustified(3, '0');
            const QByteArray field = name + (i == longOne ? QByteArray(40, 'x') : QByteArray());
            scene.tree.writeFile(QStringLiteral("many/") + QString::fromLatin1(name) + QStringLiteral(".csv"),
                                 "row," + field + "\r\n");
            FaultScene::writeBytes(scene.out + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".htm"),
                                   "earlier " + name + "\r\n");
            arguments << QStringLiteral("many/") + QString::fromLatin1(name) + QStringLiteral(".csv");
            sources << scene.tree.path(arguments.last());
            outputs << "out/" + name + ".htm";
            earlier.insert(QString::fromLatin1(name) + QStringLiteral(".htm"),
                           FaultScene::sha256("earlier " + name + "\r\n"));
            documents.insert(QString::fromLatin1(name) + QStringLiteral(".htm"),
                             FaultScene::document({{"row", field}}));
            if (i == bigAfter) {
                arguments << QStringLiteral("in/big.csv");
                sources << scene.big;
                outputs << "out/big.htm";
            }
        }
    }

    // The sums of out/ when the documents of the given outputs are new and the others earlier.
    QMap<QString, QByteArray> expectedOut(const FaultScene& scene, const QByteArrayList& written) const
    {
        QMap<QString, QByteArray> sums = scene.expectedOut(false, written.contains("out/big.htm"), false);
        for (auto it = earlier.begin(); it != earlier.end(); ++it) {
            const bool isNew = written.contains("out/" + it.key().toLatin1());
            sums.insert(it.key(), isNew ? FaultScene::sha256(documents.value(it.key())) : it.value());
        }
        return sums;
    }

    QStringList arguments;  // the converter's, writing into out/
    QStringList sources;    // the whole paths of the sources, in the order of the list
    QByteArrayList outputs; // in the order of the list
    QMap<QString, QByteArray> earlier;
    QMap<QString, QByteArray> documents;
};

} // namespace ostrand::test
