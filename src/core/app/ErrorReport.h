// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// The location tags of the guarded operations, stored with a leading "in " and a trailing blank.
namespace LocationTag {
inline QString formLoad() { return QStringLiteral("in Vantrel2021/08/31.Form1.Form_Load "); }
inline QString pushButton1() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton1_Click "); }
inline QString pushButton2() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton2_Click "); }
inline QString pushButton3() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton3_Click "); }
inline QString pushButton4() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton4_Click "); }
inline QString pushButton5() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton5_Click "); }
inline QString pushButton6() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton6_Click "); }
inline QString pushButton7() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton7_Click "); }
inline QString pushButton8() { return QStringLiteral("in Vantrel2021/08/31.Form1.PushButton8_Click "); }
inline QString listView1DragDrop() { return QStringLiteral("in Vantrel2021/08/31.Form1.ListView1_OLEDragDrop "); }
inline QString getSubDirectories() { return QStringLiteral("in DravikTitle2021/08/31.AddFolder.GetSubDirectories2016 "); }
inline QString convertVantrel() { return QStringLiteral("in Vantrel2021/08/31.modCSV.ConvertVantrel "); }
} // namespace LocationTag

// Where users send a screenshot of an error report: set when the program is configured.
inline QString supportAddress() { return QStringLiteral(OSTRAND_SUPPORT_ADDRESS); }

// The title of the error report's message box.
inline QString errorReportTitle() { return QStringLiteral("Application Error"); }

// The report text: description, CR LF, tag, "at line ", number, CR CR, the support sentence.
QString ErrorReportText(const QString& description, const QString& tag, int line);

// Shows (or prints, or records) one error report and returns when it has been dismissed.
class ErrorReporter
{
public:
    virtual ~ErrorReporter() = default;
    virtual void ReportError(const QString& description, const QString& tag, int line) = 0;
};

} // namespace ostrand
