// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QCoreApplication>
#include <QString>
#include <QWidget>

#include "app/EventFrames.h"
#include "core/convert/ConversionOptions.h"
#include "core/settings/SettingsStore.h"
#include "options/OptionButtons.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;

namespace ostrand {

class CaptionProgressBar;
class Dialogs;
class FileListHost;
class FileListView;
class FocusLossCheck;
class PointerScheme;

// The main window. Opening it is the program's start (Form_Load restores every option from the settings
// store before the window is shown) and closing it is the program's end. It is the conversion run's host:
// the run reads the options from the controls at the moment it needs them.
class Form1 : public QWidget, public RunHost
{
    Q_OBJECT

public:
    // The settings and the dialogs are not owned; the program folder is where the skin, the pointer images and
    // the samples are looked up.
    Form1(QSettings& settings, Dialogs& dialogs, const QString& programFolder, QWidget* parent = nullptr);
    ~Form1() override;

    SettingsStore& settings() { return m_settings; }
    Dialogs& dialogs() { return m_dialogs; }
    // The window's pointer state: default, busy (the lock of long operations) or hand.
    PointerScheme& pointer() { return *m_pointer; }
    // The caption of every message box that names no title of its own.
    const QString& applicationTitle() const { return m_applicationTitle; }
    const QString& programFolder() const { return m_programFolder; }
    // What the file list's fillers see of the window.
    FileListHost& fileListHost() { return *m_fileListHost; }
    // True once the window has been closed: long operations stop and show nothing more.
    bool isClosing() const { return m_closing; }
    bool isConverting() const { return m_Converting; }

    // The options as the conversion reads them, at the moment of use.
    QString borderWidth() override;
    qint64 textColor() override;
    qint64 backgroundColor() override;
    OutputMode outputMode() override;
    QString outputFolder() override;
    DelimiterOption delimiterOption() override;
    QString otherDelimiterText() override;

    // The file list, entries numbered from 1.
    qsizetype entryCount() override;
    QString entry(qsizetype index) override;
    quint64 entryKey(qsizetype index) override;
    quint64 entryMoves() override;

    // Feedback of long operations.
    void setProgressValue(int value) override;
    void setProgressText(const QString& text) override;
    void setBusyPointer(bool busy) override;
    // A turn of the event loop when a frame is due (see EventFrames): the conversion offers turns far more often
    // than frames are due. The first offer of an operation that sets the busy pointer is always a turn.
    void yieldToEvents() override;
    // A turn of the event loop now, for work that spaces its offers itself (the folder scans).
    void turnEventLoop();
    bool stopRequested() override { return m_closing; }
    // A plain message box with the application title and OK; nothing once the window is closing.
    void showMessage(const QString& text) override;
    // The error report box; nothing once the window is closing.
    void ReportError(const QString& description, const QString& tag, int line) override;
    // A run shows a few boxes of each kind of report and tells of the rest at its end.
    bool gathersReports() override { return true; }

    // The controls, named as the window's inventory names them.
    FileListView* ListView1 = nullptr;          // the file list: full paths of the files to convert
    QPushButton* PushButton1 = nullptr;         // "Add CSV File(s)": files picked in the file dialog
    QPushButton* PushButton5 = nullptr;         // "Add All CSV File(s) In Folder": a whole folder tree
    QPushButton* PushButton7 = nullptr;         // "Clear List"
    QPushButton* PushButton3 = nullptr;         // "Load Sample/Example Files"
    QGroupBox* Frame2 = nullptr;                // "CSV Delimiter"
    QRadioButton* Option1 = nullptr;            // delimiter "Comma"
    QRadioButton* Option2 = nullptr;            // delimiter "Comma-space"
    QRadioButton* Option3 = nullptr;            // delimiter "Semicolon"
    QRadioButton* Option4 = nullptr;            // delimiter "Tab"
    QRadioButton* Option5 = nullptr;            // delimiter "Other": the text of Text1
    QLineEdit* Text1 = nullptr;                 // the free delimiter text
    QGroupBox* Frame1 = nullptr;                // "HTML Options"
    QLabel* Label1 = nullptr;                   // "Border Width:"
    QLineEdit* Text2 = nullptr;                 // the table's border width, as typed
    QLabel* Label2 = nullptr;                   // "Text Color:"
    QFrame* Picture1 = nullptr;                 // swatch of the table's text colour
    QPushButton* PushButton6 = nullptr;         // "...": pick the text colour
    QLabel* Label3 = nullptr;                   // "Background Color:"
    QFrame* Picture2 = nullptr;                 // swatch of the table's background colour
    QPushButton* PushButton8 = nullptr;         // "...": pick the background colour
    QGroupBox* Frame5 = nullptr;                // "Save Option"
    QRadioButton* Option6 = nullptr;            // "Save results to this folder:"
    QGroupBox* Frame4 = nullptr;                // the output folder box and its browse button
    QLineEdit* Text3 = nullptr;                 // the output folder
    QPushButton* PushButton4 = nullptr;         // "...": browse for the output folder
    QRadioButton* Option7 = nullptr;            // "Save results in folder of original file"
    QPushButton* PushButton2 = nullptr;         // "Start Converting"
    CaptionProgressBar* ProgressBar1 = nullptr; // the run's progress value and caption

public slots:
    void PushButton1_Click(); // Add CSV File(s)
    void PushButton2_Click(); // Start Converting
    void PushButton3_Click(); // Load Sample/Example Files
    void PushButton4_Click(); // browse for the output folder
    void PushButton5_Click(); // Add All CSV File(s) In Folder
    void PushButton6_Click(); // pick the text colour
    void PushButton7_Click(); // Clear List
    void PushButton8_Click(); // pick the background colour

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void DelimiterOption_Click(); // the click of any of Option1 to Option5
    void OutputOption_Click();    // the click of Option6 or Option7
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();

private:
    void createControls();
    void connectHandlers();
    void Form_Load();

    DelimiterButtons delimiterButtons() const { return {Option1, Option2, Option3, Option4, Option5}; }
    template <class T> T* control(const char* name) const;

    SettingsStore m_settings;
    Dialogs& m_dialogs;
    QString m_programFolder;
    PointerScheme* m_pointer = nullptr;
    std::unique_ptr<FileListHost> m_fileListHost; // what the list's fillers see of the window
    FocusLossCheck* m_focusChecks = nullptr;
    EventFrames m_frames;
    QString m_applicationTitle;
    bool m_Converting = false; // a run is on: a second "Start Converting" does nothing
    bool m_started = false;    // the start-up is over
    bool m_closing = false;
};

} // namespace ostrand
