// SPDX-License-Identifier: MIT
#include "app/Form1.h"

#include <limits>

#include <QCloseEvent>
#include <QResizeEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include "app/AccessibleControls.h"
#include "app/AppIcon.h"
#include "app/ApplicationTitle.h"
#include "app/CaptionProgressBar.h"
#include "app/CursorFile.h"
#include "app/Dialogs.h"
#include "app/HomeFolder.h"
#include "app/OptionButton.h"
#include "app/Legibility.h"
#include "app/PointerScheme.h"
#include "app/Skin.h"
#include "app/WindowPlacement.h"
#include "core/app/GuardedOperation.h"
#include "core/common/Paths.h"
#include "core/convert/ConversionRun.h"
#include "core/options/NumericEntry.h"
#include "filelist/FileListFillers.h"
#include "filelist/FileListHost.h"
#include "filelist/FileListView.h"
#include "options/AppearanceOptions.h"
#include "options/ColorSwatch.h"
#include "options/FocusLossCheck.h"
#include "options/OutputFolder.h"

namespace ostrand {

namespace {

// Positions and sizes are in twips, 15 to a pixel.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

enum class ControlKind { List, PushButton, Frame, OptionButton, TextBox, Label, Swatch, ProgressBar };

struct ControlSpec
{
    ControlKind kind;
    const char* name;
    const char* caption;
    const char* container; // "" for the window itself
    int left;
    int top;
    int width;
    int height;
};

// Every control of the window; containers come before what they hold.
constexpr ControlSpec kControls[] = {
    {ControlKind::List, "ListView1", "", "", 120, 120, 7800, 2535},
    {ControlKind::PushButton, "PushButton1", "Add CSV File(s)", "", 120, 2745, 3840, 405},
    {ControlKind::PushButton, "PushButton5", "Add All CSV File(s) In Folder", "", 4080, 2745, 3840, 405},
    {ControlKind::PushButton, "PushButton7", "Clear List", "", 120, 3255, 3840, 405},
    {ControlKind::PushButton, "PushButton3", "Load Sample/Example Files", "", 4080, 3255, 3840, 405},
    {ControlKind::Frame, "Frame2", "CSV Delimiter", "", 120, 3705, 7800, 705},
    {ControlKind::OptionButton, "Option1", "Comma", "Frame2", 240, 300, 1140, 225},
    {ControlKind::OptionButton, "Option2", "Comma-space", "Frame2", 1485, 300, 1725, 225},
    {ControlKind::OptionButton, "Option3", "Semicolon", "Frame2", 3330, 300, 1455, 225},
    {ControlKind::OptionButton, "Option4", "Tab", "Frame2", 4860, 300, 780, 225},
    {ControlKind::OptionButton, "Option5", "Other", "Frame2", 5760, 300, 825, 225},
    {ControlKind::TextBox, "Text1", "|", "Frame2", 6600, 255, 915, 330},
    {ControlKind::Frame, "Frame1", "HTML Options", "", 120, 4470, 7800, 825},
    {ControlKind::Label, "Label1", "Border Width:", "Frame1", 270, 345, 1170, 225},
    {ControlKind::TextBox, "Text2", "1", "Frame1", 1575, 300, 510, 345},
    {ControlKind::Label, "Label2", "Text Color:", "Frame1", 2450, 345, 915, 225},
    {ControlKind::Swatch, "Picture1", "", "Frame1", 3480, 300, 360, 345},
    {ControlKind::PushButton, "PushButton6", "...", "Frame1", 3960, 300, 600, 345},
    {ControlKind::Label, "Label3", "Background Color:", "Frame1", 4725, 345, 1575, 225},
    {ControlKind::Swatch, "Picture2", "", "Frame1", 6435, 300, 360, 345},
    {ControlKind::PushButton, "PushButton8", "...", "Frame1", 6960, 300, 600, 345},
    {ControlKind::Frame, "Frame5", "Save Option", "", 120, 5340, 7800, 1815},
    {ControlKind::OptionButton, "Option6", "Save results to this folder:", "Frame5", 240, 300, 3615, 255},
    {ControlKind::Frame, "Frame4", "", "Frame5", 480, 510, 6840, 810},
    {ControlKind::TextBox, "Text3", "", "Frame4", 240, 300, 5670, 345},
    {ControlKind::PushButton, "PushButton4", "...", "Frame4", 6000, 300, 600, 345},
    {ControlKind::OptionButton, "Option7", "Save results in folder of original file", "Frame5", 240, 1410, 3615, 255},
    {ControlKind::PushButton, "PushButton2", "Start Converting", "", 120, 7270, 7800, 405},
    {ControlKind::ProgressBar, "ProgressBar1", "Progress Bar", "", 120, 7790, 7800, 405},
};

constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 8310;
constexpr int kColumnWidth = 7200;
// The room the window manager's frame around the window takes at least: borders and a title bar.
constexpr QSize kFrameAllowance(16, 40);

const char* const kListToolTip = "Drag and drop files here. Double-click item to remove it. Move | line to right "
                                 "and out of window to reveal full names.";

QFont arialBold(qreal pointSize)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void setWhiteBackground(QWidget* widget)
{
    forceLightColours(widget);
}

QWidget* createControl(const ControlSpec& row, QWidget* container)
{
    const QString caption = QString::fromUtf8(row.caption);
    QWidget* widget = nullptr;
    switch (row.kind) {
    case ControlKind::List: {
        auto* list = new FileListView(container);
        list->setToolTip(QString::fromUtf8(kListToolTip));
        widget = list;
        break;
    }
    case ControlKind::PushButton:
        widget = new QPushButton(caption, container);
        widget->setFont(arialBold(11.25));
        break;
    case ControlKind::Frame:
        widget = new QGroupBox(caption, container);
        setWhiteBackground(widget);
        break;
    case ControlKind::OptionButton:
        widget = new OptionButton(caption, container);
        setWhiteBackground(widget);
        break;
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(container);
        edit->setMaxLength(std::numeric_limits<int>::max()); // any length: a stored text is never cut
        edit->setText(caption);
        widget = edit;
        break;
    }
    case ControlKind::Label:
        widget = new QLabel(caption, container);
        setWhiteBackground(widget);
        break;
    case ControlKind::Swatch: {
        auto* swatch = new QFrame(container);
        swatch->setFrameStyle(QFrame::Box | QFrame::Sunken);
        widget = swatch;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new CaptionProgressBar(container);
        bar->setCaption(caption);
        widget = bar;
        break;
    }
    }
    widget->setObjectName(QString::fromUtf8(row.name));
    widget->setGeometry(twips(row.left), twips(row.top), twips(row.width), twips(row.height));
    // A label shows its whole caption: where this font draws it wider than its box, the box grows to the right
    // into the gap before the next control.
    if (row.kind == ControlKind::Label && widget->sizeHint().width() > widget->width())
        widget->resize(widget->sizeHint().width(), widget->height());
    return widget;
}

Status failed(const QString& description)
{
    return Failure{description};
}

// The window as the list's fillers see it.
class WindowFileListHost final : public FileListHost
{
public:
    explicit WindowFileListHost(Form1& form) : m_form(form) {}

    FileListView& fileList() override { return *m_form.ListView1; }
    SettingsStore& settings() override { return m_form.settings(); }
    QString programFolder() const override { return m_form.programFolder(); }
    QString applicationTitle() const override { return m_form.applicationTitle(); }

    QStringList openFileNames(const QString& title, const QString& filter) override
    {
        return m_form.dialogs().openFileNames(title, filter);
    }
    QString inputText(const QString& prompt, const QString& defaultText) override
    {
        return m_form.dialogs().inputText(prompt, m_form.applicationTitle(), defaultText);
    }
    QString browseForFolder(const QString& title, const QString& startFolder) override
    {
        return m_form.dialogs().browseForFolder(title, startFolder);
    }
    void showMessage(const QString& text) override { m_form.showMessage(text); }
    bool question(const QString& text) override { return m_form.dialogs().question(text, m_form.applicationTitle()); }
    void openFolderInFileManager(const QString& path) override { m_form.dialogs().openFolderInFileManager(path); }

    bool isBusy() const override { return m_form.pointer().isBusy(); }
    void setBusyPointer(bool busy) override { m_form.setBusyPointer(busy); }

    void ReportError(const QString& description, const QString& tag, int line) override
    {
        m_form.ReportError(description, tag, line);
    }
    // The scans offer a turn about every 10 ms themselves.
    void yieldToEvents() override { m_form.turnEventLoop(); }
    bool stopRequested() const override { return m_form.isClosing(); }

private:
    Form1& m_form;
};

} // namespace

Form1::Form1(QSettings& settings, Dialogs& dialogs, const QString& programFolder, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_dialogs(dialogs), m_programFolder(programFolder),
      m_fileListHost(std::make_unique<WindowFileListHost>(*this))
{
    installControlRoles();
    createControls();
    connectHandlers();
    // A home folder whose name is not valid UTF-8 is told of once the window is up, with all it prevents.
    const QString homeMessage = UnreachableHomeMessage(m_settings, m_programFolder);
    // A settings file that cannot be written is told of once, whether a save fails during the start-up or not;
    // found at the start-up, it is told once the window is up; the home folder's message tells it for its cause.
    const bool toldWithHome = !homeMessage.isEmpty() && SettingsLostWithHome(m_settings);
    m_settings.onSavingFails([this, toldWithHome](const QString& file, const QString& reason) {
        if (toldWithHome)
            return;
        const QString text =
            QStringLiteral("Your choices cannot be saved: the settings file %1 cannot be written (%2).\r\n\r\n"
                           "Ostrand works as usual, but the choices you make now will not be there at the next start.")
                .arg(file, reason);
        if (m_started)
            showMessage(text);
        else
            QMetaObject::invokeMethod(
                this, [this, text] { showMessage(text); }, Qt::QueuedConnection);
    });
    Form_Load();
    m_settings.checkSaving();
    if (!homeMessage.isEmpty())
        QMetaObject::invokeMethod(
            this, [this, homeMessage] { showMessage(homeMessage); }, Qt::QueuedConnection);
    m_started = true;
}

Form1::~Form1() = default;

template <class T> T* Form1::control(const char* name) const
{
    return findChild<T*>(QString::fromUtf8(name));
}

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setFont(arialBold(9));
    setPalette(designedPalette());
    setWhiteBackground(this);
    setAutoFillBackground(true);

    // The controls sit on a surface of the designed size, in a scroll area that shows all of it wherever the screen
    // has room for it: no scroll bar, no frame, nothing moved. On a screen too small for it (a large scale factor)
    // the window takes the room there is and the surface scrolls, so every control can still be reached.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("FormScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // the controls take the focus, and a Tab to them shows them
    m_surface = new QWidget;
    m_surface->setObjectName(QStringLiteral("FormSurface"));
    m_surface->setAutoFillBackground(true);
    m_surface->setFixedSize(twips(kClientWidth), twips(kClientHeight));
    scroll->setWidget(m_surface);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    fitToScreen();
    // The controls are where they belong before the window is first shown: the scroll area places its view when
    // it is resized, which a hidden window otherwise leaves until it is shown.
    layout->activate();
    QResizeEvent resized(scroll->size(), QSize());
    QCoreApplication::sendEvent(scroll, &resized);
    placeOnItsScreen(*this);

    for (const ControlSpec& row : kControls) {
        QWidget* container = *row.container ? control<QWidget>(row.container) : m_surface;
        createControl(row, container);
    }

    ListView1 = control<FileListView>("ListView1");
    PushButton1 = control<QPushButton>("PushButton1");
    PushButton5 = control<QPushButton>("PushButton5");
    PushButton7 = control<QPushButton>("PushButton7");
    PushButton3 = control<QPushButton>("PushButton3");
    Frame2 = control<QGroupBox>("Frame2");
    Option1 = control<QRadioButton>("Option1");
    Option2 = control<QRadioButton>("Option2");
    Option3 = control<QRadioButton>("Option3");
    Option4 = control<QRadioButton>("Option4");
    Option5 = control<QRadioButton>("Option5");
    Text1 = control<QLineEdit>("Text1");
    Frame1 = control<QGroupBox>("Frame1");
    Label1 = control<QLabel>("Label1");
    Text2 = control<QLineEdit>("Text2");
    Label2 = control<QLabel>("Label2");
    Picture1 = control<QFrame>("Picture1");
    PushButton6 = control<QPushButton>("PushButton6");
    Label3 = control<QLabel>("Label3");
    Picture2 = control<QFrame>("Picture2");
    PushButton8 = control<QPushButton>("PushButton8");
    Frame5 = control<QGroupBox>("Frame5");
    Option6 = control<QRadioButton>("Option6");
    Frame4 = control<QGroupBox>("Frame4");
    Text3 = control<QLineEdit>("Text3");
    PushButton4 = control<QPushButton>("PushButton4");
    Option7 = control<QRadioButton>("Option7");
    PushButton2 = control<QPushButton>("PushButton2");
    ProgressBar1 = control<CaptionProgressBar>("ProgressBar1");
    describeControls(*this);

    // The state before start-up.
    Option1->setChecked(true);
    Option6->setChecked(true);
    setSwatchColor(Picture1, 0);
    setSwatchColor(Picture2, 16777215);
}

void Form1::connectHandlers()
{
    m_pointer = new PointerScheme(*this);
    for (QWidget* widget : {static_cast<QWidget*>(this), m_surface, static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                            static_cast<QWidget*>(Frame4), static_cast<QWidget*>(Frame5), static_cast<QWidget*>(Text3)})
        m_pointer->resetOnMouseMove(widget);
    for (QPushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7, PushButton8})
        m_pointer->handOnMouseMove(button);
    // The other controls have no pointer rule of their own, and a move over them is not one over their frame.
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Option1, Option2, Option3, Option4, Option5, Option6, Option7, Label1, Label2,
                                         Label3, Text1, Text2, Picture1, Picture2, ProgressBar1})
        m_pointer->keepOnMouseMove(widget);
    m_pointer->resetOnMouseMove(ListView1->viewport()); // moves over the list give the default pointer
    ConnectFileList(*m_fileListHost);

    // A click that took the focus from a text box comes after that box's reminder.
    const std::pair<QPushButton*, void (Form1::*)()> commands[] = {
        {PushButton1, &Form1::PushButton1_Click}, {PushButton2, &Form1::PushButton2_Click},
        {PushButton3, &Form1::PushButton3_Click}, {PushButton4, &Form1::PushButton4_Click},
        {PushButton5, &Form1::PushButton5_Click}, {PushButton6, &Form1::PushButton6_Click},
        {PushButton7, &Form1::PushButton7_Click}, {PushButton8, &Form1::PushButton8_Click}};
    for (const auto& [button, command] : commands) {
        connect(button, &QPushButton::clicked, this, [this, command = command] {
            m_focusChecks->checkPending();
            (this->*command)();
        });
    }

    for (QRadioButton* option : delimiterButtons())
        connect(option, &QRadioButton::clicked, this, &Form1::DelimiterOption_Click);
    connect(Option6, &QRadioButton::clicked, this, &Form1::OutputOption_Click);
    connect(Option7, &QRadioButton::clicked, this, &Form1::OutputOption_Click);

    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(Text3, &QLineEdit::textChanged, this, &Form1::Text3_Change);

    m_focusChecks = new FocusLossCheck([this](const QString& message) { showMessage(message); }, this);
    m_focusChecks->watch(
        Text1, [](const QString& text) { return !text.isEmpty(); }, QStringLiteral("You forgot to input a value."));
    m_focusChecks->watch(Text2, IsNumericEntry, QStringLiteral("Must be a numeric entry."));
}

void Form1::Form_Load()
{
    GuardedOperation load(*this, LocationTag::formLoad());

    const QString skin = skinPath(m_programFolder);
    load.step(100, [&]() -> Status { return skinFileExists(skin) ? applySkin(*this, skin) : Status(); });

    load.step(102, [&] {
        setWindowTitle(QStringLiteral("Ostrand"));
        setWindowIcon(applicationIcon());
        m_applicationTitle = ApplicationTitle(productName());
    });

    const QString handPath = m_programFolder + QStringLiteral("/HAND-M.CUR");
    if (load.test(104, [&] { return FileExists(handPath); })) {
        load.step(106, [&]() -> Status {
            const auto cursor = loadCursorFile(handPath);
            if (!cursor)
                return failed(cursor.error());
            m_pointer->setHandCursor(cursor.value());
            return {};
        });
    }

    load.step(132, [&] { Text1->setText(m_settings.ReadSetting(SettingKey::other(), QStringLiteral("|"))); });
    load.step(134, [&] { Text2->setText(m_settings.ReadSetting(SettingKey::borderWidth(), QStringLiteral("1"))); });

    // Selecting a button by its stored value counts as the user's click: the group is written back, once all five
    // keys are read, so that of several stored as selected the last one stays selected, and a value that cannot
    // be read is reported before it is overwritten.
    const QString optionKeys[] = {SettingKey::option1(), SettingKey::option2(), SettingKey::option3(),
                                  SettingKey::option4(), SettingKey::option5()};
    const DelimiterButtons options = delimiterButtons();
    bool clicked = false;
    for (std::size_t i = 0; i < options.size(); ++i) {
        load.step(136 + 2 * static_cast<int>(i), [&]() -> Status {
            const auto selected = m_settings.readYesNo(optionKeys[i], i == 0);
            if (!selected)
                return failed(selected.error());
            if (setOptionValue(options[i], selected.value()) && selected.value())
                clicked = true;
            return {};
        });
    }
    if (clicked)
        load.step(144, [&] { DelimiterOption_Click(); });

    load.step(146, [&]() -> Status {
        const auto color = m_settings.readColor(SettingKey::textColor(), 0);
        if (!color)
            return failed(color.error());
        setSwatchColor(Picture1, color.value());
        return {};
    });
    load.step(148, [&]() -> Status {
        const auto color = m_settings.readColor(SettingKey::backgroundColor(), 16777215);
        if (!color)
            return failed(color.error());
        setSwatchColor(Picture2, color.value());
        return {};
    });

    load.step(150, [&] { ListView1->setColumnHeader(QStringLiteral("CSV File(s)")); });
    load.step(152, [&] { ListView1->setColumnWidth(0, twips(kColumnWidth)); });

    load.step(154, [&]() -> Status {
        const auto desktop = SettingsStore::desktopFolder();
        if (!desktop)
            return failed(desktop.error());
        // A desktop folder named from bytes that are not valid UTF-8 (the home folder's) is no folder: the user
        // chooses one, as the start-up's message about the home folder says.
        const bool reachable = !desktop.value().contains(QChar::ReplacementCharacter);
        Text3->setText(m_settings.ReadSetting(SettingKey::outputFolder(), reachable ? desktop.value() : QString()));
        return {};
    });

    const std::pair<QRadioButton*, QString> outputOptions[] = {{Option6, SettingKey::option6()},
                                                               {Option7, SettingKey::option7()}};
    int line = 156;
    for (const auto& entry : outputOptions) {
        QRadioButton* const option = entry.first;
        const QString& key = entry.second;
        load.step(line, [&]() -> Status {
            const auto selected = m_settings.readYesNo(key, option == Option6);
            if (!selected)
                return failed(selected.error());
            if (setOptionValue(option, selected.value()) && selected.value())
                OutputOption_Click();
            return {};
        });
        line += 2;
    }

    if (load.test(160, [&] { return Option6->isChecked(); }))
        load.step(162, [&] { Frame4->setEnabled(true); });
    else
        load.step(164, [&] { Frame4->setEnabled(false); });
}

QString Form1::borderWidth()
{
    return Text2->text();
}

qint64 Form1::textColor()
{
    return swatchColor(Picture1);
}

qint64 Form1::backgroundColor()
{
    return swatchColor(Picture2);
}

OutputMode Form1::outputMode()
{
    return SelectedOutputMode(Option6, Option7);
}

QString Form1::outputFolder()
{
    return Text3->text();
}

DelimiterOption Form1::delimiterOption()
{
    return SelectedDelimiterOption(delimiterButtons());
}

QString Form1::otherDelimiterText()
{
    return Text1->text();
}

qsizetype Form1::entryCount()
{
    return ListView1->entryCount();
}

QString Form1::entry(qsizetype index)
{
    return ListView1->entry(index);
}

quint64 Form1::entryKey(qsizetype index)
{
    return ListView1->entryKey(index);
}

quint64 Form1::entryMoves()
{
    return ListView1->entryMoves();
}

void Form1::setProgressValue(int value)
{
    ProgressBar1->setValueForNextFrame(value);
}

void Form1::setProgressText(const QString& text)
{
    ProgressBar1->setCaption(text);
}

void Form1::setBusyPointer(bool busy)
{
    if (busy)
        m_frames.restart();
    m_pointer->setPointer(busy ? MousePointer::Busy : MousePointer::Default);
}

void Form1::yieldToEvents()
{
    if (m_frames.due())
        turnEventLoop();
}

void Form1::turnEventLoop()
{
    QCoreApplication::processEvents();
    m_frames.turned();
}

void Form1::showMessage(const QString& text)
{
    if (!m_closing)
        m_dialogs.message(text, m_applicationTitle);
}

void Form1::ReportError(const QString& description, const QString& tag, int line)
{
    if (!m_closing)
        m_dialogs.errorReport(ErrorReportText(description, tag, line));
}

void Form1::PushButton1_Click()
{
    AddFilesByDialog(*m_fileListHost);
}

void Form1::PushButton2_Click()
{
    RunConversion(*this, m_Converting);
}

void Form1::PushButton3_Click()
{
    LoadSampleFiles(*m_fileListHost);
}

void Form1::PushButton4_Click()
{
    GuardedOperation browse(*this, LocationTag::pushButton4());
    const FolderBrowser browser = [this](const QString& title, const QString& startFolder) {
        return m_dialogs.browseForFolder(title, startFolder);
    };
    BrowseOutputFolder(browse, browser, m_settings, Text3);
}

void Form1::PushButton5_Click()
{
    AddAllFilesInFolder(*m_fileListHost);
}

void Form1::PushButton6_Click()
{
    GuardedOperation pick(*this, LocationTag::pushButton6());
    const ColorPicker dialog = [this](qint64 color) { return m_dialogs.pickColor(color); };
    PickSwatchColor(pick, dialog, Picture1, m_settings, SettingKey::textColor());
}

void Form1::PushButton7_Click()
{
    GuardedOperation clear(*this, LocationTag::pushButton7());
    if (m_pointer->isBusy()) // 100: a long operation holds the list
        return;
    clear.step(102, [&] { ListView1->clearEntries(); });
}

void Form1::PushButton8_Click()
{
    GuardedOperation pick(*this, LocationTag::pushButton8());
    const ColorPicker dialog = [this](qint64 color) { return m_dialogs.pickColor(color); };
    PickSwatchColor(pick, dialog, Picture2, m_settings, SettingKey::backgroundColor());
}

void Form1::DelimiterOption_Click()
{
    SaveDelimiterOptions(m_settings, delimiterButtons());
}

void Form1::OutputOption_Click()
{
    SaveOutputOptions(m_settings, Option6, Option7, Frame4);
}

void Form1::Text1_Change()
{
    m_settings.WriteSetting(SettingKey::other(), Text1->text());
}

void Form1::Text2_Change()
{
    m_settings.WriteSetting(SettingKey::borderWidth(), Text2->text());
}

void Form1::Text3_Change()
{
    m_settings.WriteSetting(SettingKey::outputFolder(), Text3->text());
}

void Form1::fitToScreen()
{
    const QSize designed = m_surface->size();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        setFixedSize(designed);
        return;
    }
    // The window's frame: room for a title bar and borders at least, more where the frame is known to take more.
    const QSize frame = (frameGeometry().size() - size()).expandedTo(kFrameAllowance);
    const QSize room = screen->availableGeometry().size() - frame;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    QSize fitted = designed;
    if (fitted.height() > room.height())
        fitted = QSize(fitted.width() + bar, room.height());
    if (fitted.width() > room.width()) {
        const bool scrollsDown = fitted.height() < designed.height();
        fitted = QSize(room.width(), scrollsDown ? fitted.height() : qMin(fitted.height() + bar, room.height()));
    }
    setFixedSize(fitted.expandedTo(QSize(1, 1)));
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_screenWatched && windowHandle()) {
        m_screenWatched = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { fitToScreen(); });
    }
    // The frame is known now: the window is fitted again, and placed again when it had to shrink.
    const QSize before = size();
    fitToScreen();
    if (size() != before)
        placeOnItsScreen(*this);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Whatever is running stops at its next look at stopRequested() and writes nothing more; the
    // application quits once the handler on the stack has returned.
    m_closing = true;
    event->accept();
}

} // namespace ostrand
