#include "viewer/frmMain.h"

#include "platform/modMain.h"
#include "core/reportrequest.h"
#include "data/connection.h"
#include "dialogs/frmCardView.h"
#include "dialogs/frmGroupBy.h"
#include "dialogs/frmShowfields.h"
#include "dialogs/frmSort.h"
#include "dialogs/frmSummary.h"
#include "dialogs/frmTableview.h"
#include "export/exportcommands.h"
#include "grid/reportgrid.h"
#include "platform/platform.h"
#include "viewer/commandbar.h"
#include "grid/gridprint.h"
#include "viewer/frmPrintPreview.h"
#include "viewer/loadstep.h"
#include "viewer/icons/viewericons.h"
#include "viewer/layouts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QToolBar>

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

namespace velmora {

namespace {

QPointer<frmMain> s_instance;

struct PanelSpec {
    const char *tooltip;
    const char *tag;
};

// The command bar, panel by panel; panels without a tag are spacers.
constexpr std::array<PanelSpec, 26> kPanels{{
    {"", ""},
    {"Open Saved Layout", "Open"},
    {"Save Layout", "Save"},
    {"Save Layout AS", "SaveAs"},
    {"", ""},
    {"Print", "Print"},
    {"Print Preview", "PrintPreview"},
    {"Shrink Columns to fit on page when printing", "FitCols"},
    {"", ""},
    {"Export to Excel Spreadsheet", "ExportXLS"},
    {"Export to HTML", "ExportHTML"},
    {"Export to Text file", "ExportTXT"},
    {"Export and attach to E-Mail", "ExportEmail"},
    {"", ""},
    {"View Summary...", "Summary"},
    {"Choose Fields", "Fields"},
    {"Group By", "Group"},
    {"Sort By", "Sort"},
    {"", ""},
    {"Show Group By Box", "ShowGroupByBox"},
    {"Turn on/off Card view", "Views"},
    {"", ""},
    {"Move First", "MoveFirst"},
    {"Move Previous", "MovePrevious"},
    {"Move Next", "MoveNext"},
    {"Move Last", "MoveLast"},
}};

constexpr int kFitColsPanel = 8;
constexpr int kGroupByBoxPanel = 20;
constexpr int kViewsPanel = 21;

// The second button bar: the same keys with tooltips of its own.
constexpr std::array<PanelSpec, 20> kButtons{{
    {"Open Saved Layout", "Open"},
    {"Save Layout", "Save"},
    {"Save Layout AS", "SaveAs"},
    {"Print", "Print"},
    {"Print Preview", "PrintPreview"},
    {"Shrink Columns to fit on page when printing", "FitCols"},
    {"Export to Excel Spreadsheet", "ExportXLS"},
    {"Export to HTML", "ExportHTML"},
    {"Export to a text file", "ExportTXT"},
    {"Export and attach to E-Mail", "ExportEmail"},
    {"View Summary...", "Summary"},
    {"Choose Fields to include", "Fields"},
    {"Group by...", "Group"},
    {"Sort...", "Sort"},
    {"Group By Box", "ShowGroupByBox"},
    {"Switch Card View On/Off", "Views"},
    {"Move first visible record", "MoveFirst"},
    {"Move previous visible record", "MovePrevious"},
    {"Move next visible record", "MoveNext"},
    {"Move last visible record", "MoveLast"},
}};

// Text to number the way the host's language reads it: the leading number of the text (sign,
// digits, one decimal point), 0 when there is none; truncated to a whole number.
int leadingWholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    const int digitsFrom = i;
    while (i < t.size() && t[i].isDigit())
        ++i;
    if (i == digitsFrom)
        return 0;
    bool ok = false;
    const qlonglong value = t.left(i).toLongLong(&ok);
    if (!ok)
        return 0;
    return int(std::clamp<qlonglong>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool isReportKind(const char *kind)
{
    return request().ReportKey.compare(QLatin1String(kind), Qt::CaseInsensitive) == 0;
}

QAction *menuAction(QMenu *menu, const char *name, const char *caption)
{
    auto *action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    return action;
}

QAction *separator(QMenu *menu, const char *name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(QString::fromUtf8(name));
    return action;
}

QMenu *subMenu(QWidget *parent, const char *name, const char *caption)
{
    auto *menu = new QMenu(QString::fromUtf8(caption), parent);
    menu->setObjectName(QString::fromUtf8(name));
    menu->menuAction()->setObjectName(QString::fromUtf8(name));
    return menu;
}

} // namespace

struct frmMain::Impl {
    QPrinter printer{QPrinter::HighResolution};
    std::vector<QAction *> viewStyles;
    QAction *mnuPrintPreview = nullptr;
    std::array<QAction *, 2> mnuPrint{};
    QLabel *status = nullptr;
    QPointer<frmPrintPreview> preview;
    QWidget *area = nullptr;   // the client area the resize rule lays out
    // The current row around a re-sort; 0 means none remembered.
    int rememberedRow = 0;
    bool remembering = false;
    // The kind this window was loaded as. Picks follow it, not the request, which a later entry
    // point call rewrites while the window stays open. Unset for a window nobody loaded.
    std::optional<QString> loadedKind;
};

frmMain::frmMain(QWidget *parent) : QMainWindow(parent), d(std::make_unique<Impl>())
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Velmora Results"));
    if (!s_instance)
        s_instance = this;

    // Controls in the window's own order: tlbMain, the menus, Jgrid, Toolbar, Esc.
    tlbMain = new QToolBar(this);
    tlbMain->setObjectName(QStringLiteral("tlbMain"));
    tlbMain->setIconSize(QSize(16, 16));
    for (const PanelSpec &button : kButtons) {
        const QString key = QString::fromUtf8(button.tag);
        QAction *action = tlbMain->addAction(viewerIcon(key), key);
        action->setObjectName(QStringLiteral("tlbMain_") + key);
        action->setData(key);
        action->setToolTip(QString::fromUtf8(button.tooltip));
    }
    addToolBar(Qt::TopToolBarArea, tlbMain);
    // The command bar below carries the same commands; this bar stays out of sight and has no
    // click handler, so it cannot be shown from the window's context menu either.
    tlbMain->toggleViewAction()->setVisible(false);
    tlbMain->hide();

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuMain"));

    mnuFile = subMenu(this, "mnuFile", "&File");
    QAction *MNUopen = menuAction(mnuFile, "MNUopen", "&Open Layout");
    QAction *MNUsave = menuAction(mnuFile, "MNUsave", "&Save Layout");
    QAction *MNUsaveAS = menuAction(mnuFile, "MNUsaveAS", "Save &AS");
    QAction *mnuPageSetup = menuAction(mnuFile, "mnuPageSetup", "Page Setup");
    MNUfitcol = menuAction(mnuFile, "MNUfitcol", "Fit Columns to page when printing");
    MNUfitcol->setCheckable(true);
    d->mnuPrintPreview = menuAction(mnuFile, "mnuPrintPreview", "Print Pre&view");
    d->mnuPrint[0] = menuAction(mnuFile, "mnuPrint(0)", "&Print...");
    d->mnuPrint[1] = menuAction(mnuFile, "mnuPrint(1)", "Print Selected Items...");
    QAction *MNUexportXL = menuAction(mnuFile, "MNUexportXL", "Export to Excel Spreadsheet");
    QAction *MNUexportHTML = menuAction(mnuFile, "MNUexportHTML", "Export to HTML");
    QAction *MNUexportTXT = menuAction(mnuFile, "MNUexportTXT", "Export to Text File");
    QAction *MNUexportEmail = menuAction(mnuFile, "MNUexportEmail", "&Export and E-Mail");
    separator(mnuFile, "mnuSepPrint");
    QAction *mnuExit = menuAction(mnuFile, "mnuExit", "E&xit");
    bar->addMenu(mnuFile);

    auto *mnuView = subMenu(this, "mnuView", "&View");
    mnuCurrentView = subMenu(mnuView, "mnuCurrentView", "CurrentView");
    mnuView->addMenu(mnuCurrentView);
    addMnuViewStyle();
    separator(mnuView, "mnuViewSep");
    QAction *mnushow = menuAction(mnuView, "mnushow", "Show Fields...");
    QAction *mnusort = menuAction(mnuView, "mnusort", "Sort...");
    QAction *mnugroup = menuAction(mnuView, "mnugroup", "Group By...");
    QAction *mnuformat = menuAction(mnuView, "mnuformat", "Format View...");
    auto *mnuEXCol = subMenu(mnuView, "mnuEXCol", "Expand/Collapse Groups");
    mnuView->addMenu(mnuEXCol);
    QAction *mnucolall = menuAction(mnuEXCol, "mnucolall", "Collapse All");
    QAction *mnuexpall = menuAction(mnuEXCol, "mnuexpall", "Expand All");
    QAction *mnuSum = menuAction(mnuView, "mnuSum", "View Summary...");
    separator(mnuView, "mnuViewSep1");
    mnugbBox = menuAction(mnuView, "mnugbBox", "Group By Box");
    mnugbBox->setCheckable(true);
    mnugbBox->setChecked(true);
    bar->addMenu(mnuView);

    QAction *mnuHelp = bar->addAction(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));

    // The two pop-up menus belong to the menu tree but never show in the bar.
    MNUColumnHeader = subMenu(this, "MNUColumnHeader", "Remove this Column");
    QAction *MNUcolumnRemove = menuAction(MNUColumnHeader, "MNUcolumnRemove", "Remove Column");
    bar->addMenu(MNUColumnHeader)->setVisible(false);
    MNUexpandPU = subMenu(this, "MNUexpandPU", "Expand");
    MNUexpand = menuAction(MNUexpandPU, "MNUexpand", "Expand this Group");
    QAction *MNUcollapse = menuAction(MNUexpandPU, "MNUcollapse", "Collapse this Group");
    bar->addMenu(MNUexpandPU)->setVisible(false);

    d->area = new QWidget(this);
    d->area->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(d->area);

    Jgrid = new ReportGrid(d->area);
    Jgrid->setObjectName(QStringLiteral("Jgrid"));
    // The group-by box starts as the menu's check mark says.
    Jgrid->setGroupByBoxVisible(mnugbBox->isChecked());

    Toolbar = new CommandBar(d->area);
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    for (const PanelSpec &panel : kPanels) {
        const QString tag = QString::fromUtf8(panel.tag);
        Toolbar->addPanel(viewerIcon(tag), QString::fromUtf8(panel.tooltip), tag);
    }

    Esc = new QPushButton(QStringLiteral("Esc - Exit"), d->area);
    Esc->setObjectName(QStringLiteral("Esc"));
    Esc->setFocusPolicy(Qt::TabFocus);
    // The window's cancel button: Esc presses it wherever the focus is in the window, except in
    // an open cell editor of the grid, where Esc first cancels the edit.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("EscShortcut"));
    connect(escape, &QShortcut::activated, this, [this, escape] {
        QWidget *focus = QApplication::focusWidget();
        if (qobject_cast<QLineEdit *>(focus) && Jgrid->isAncestorOf(focus)) {
            // Handed on with the shortcut off, so the key reaches the editor instead of coming back here.
            escape->setEnabled(false);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(focus, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(focus, &release);
            escape->setEnabled(true);
            return;
        }
        Esc->click();
    });

    // Failures the user must hear about (no printer, a file that cannot be written) are said here.
    d->status = new QLabel(statusBar());
    d->status->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->setObjectName(QStringLiteral("stbMain"));
    statusBar()->addWidget(d->status, 1);

    d->area->installEventFilter(this);

    // Menus.
    connect(mnuFile, &QMenu::aboutToShow, this, [this] {
        d->mnuPrintPreview->setEnabled(true);
        d->mnuPrint[0]->setEnabled(true);
        d->mnuPrint[1]->setEnabled(true);
    });
    connect(MNUopen, &QAction::triggered, this, [this] { runCommand(QStringLiteral("Open"), 0); });
    connect(MNUsave, &QAction::triggered, this, [this] { runCommand(QStringLiteral("Save"), 0); });
    connect(MNUsaveAS, &QAction::triggered, this, [this] { runCommand(QStringLiteral("SaveAs"), 0); });
    connect(mnuPageSetup, &QAction::triggered, this, &frmMain::mnuPageSetup_Click);
    connect(MNUfitcol, &QAction::triggered, this, [this] { toggleFitToPage(); });
    connect(d->mnuPrintPreview, &QAction::triggered, this, &frmMain::mnuPrintPreview_Click);
    connect(d->mnuPrint[0], &QAction::triggered, this, [this] { mnuPrint_Click(0); });
    connect(d->mnuPrint[1], &QAction::triggered, this, [this] { mnuPrint_Click(1); });
    connect(MNUexportXL, &QAction::triggered, this, [this] { runCommand(QStringLiteral("ExportXLS"), 0); });
    connect(MNUexportHTML, &QAction::triggered, this, [this] { runCommand(QStringLiteral("ExportHTML"), 0); });
    connect(MNUexportTXT, &QAction::triggered, this, [this] { runCommand(QStringLiteral("ExportTXT"), 0); });
    // The menu entry does what the command bar's "ExportEmail" does, as users of the menu expect.
    connect(MNUexportEmail, &QAction::triggered, this, [this] { runCommand(QStringLiteral("ExportEmail"), 0); });
    connect(mnuExit, &QAction::triggered, this, &frmMain::Esc_Click);

    connect(mnushow, &QAction::triggered, this, [this] {
        if (!Jgrid->isHidden())
            frmShowfields::ShowFields(*Jgrid, this);
    });
    connect(mnusort, &QAction::triggered, this, [this] {
        if (!Jgrid->isHidden())
            frmSort::SortGrid(*Jgrid, this);
    });
    connect(mnugroup, &QAction::triggered, this, [this] {
        if (!Jgrid->isHidden())
            frmGroupBy::GroupGrid(*Jgrid, this);
    });
    connect(mnuformat, &QAction::triggered, this, [this] {
        if (Jgrid->isHidden())
            return;
        if (Jgrid->viewMode() == 1)
            frmCardView::FormatGrid(*Jgrid, this);
        else
            frmTableview::FormatGrid(*Jgrid, this);
    });
    connect(mnucolall, &QAction::triggered, this, [this] { Jgrid->collapseAll(); });
    connect(mnuexpall, &QAction::triggered, this, [this] { Jgrid->expandAll(); });
    connect(mnuSum, &QAction::triggered, this, [this] { frmSummary::ShowSummary(*Jgrid, this); });
    connect(mnugbBox, &QAction::triggered, this, [this] { toggleGroupByBox(kGroupByBoxPanel); });
    connect(mnuHelp, &QAction::triggered, this, [] {
        short topic = 4;
        ShowHelpTopic(topic);
    });

    connect(MNUcolumnRemove, &QAction::triggered, this, [this] {
        const QString caption = MNUColumnHeader->property("tag").toString();
        GridColumn *column = Jgrid->columnByKey(caption);
        for (int i = 1; !column && i <= Jgrid->columnCount(); ++i) {
            if (Jgrid->column(i)->caption() == caption)
                column = Jgrid->column(i);
        }
        if (column)
            column->setVisible(false);
    });
    connect(MNUexpand, &QAction::triggered, this, [this] {
        SetGroupExpanded(*Jgrid, leadingWholeNumber(MNUexpand->property("tag").toString()), true);
    });
    connect(MNUcollapse, &QAction::triggered, this, [this] {
        SetGroupExpanded(*Jgrid, leadingWholeNumber(MNUexpand->property("tag").toString()), false);
    });

    // Command bar and buttons.
    connect(Toolbar, &CommandBar::panelClicked, this, &frmMain::Toolbar_PanelClick);
    connect(Esc, &QPushButton::clicked, this, &frmMain::Esc_Click);

    // Grid events.
    connect(Jgrid, &ReportGrid::columnHeaderClick, this, [this](GridColumn *column) {
        if (column)
            Jgrid_ColumnHeaderClick(column->index());
    });
    connect(Jgrid, &ReportGrid::groupHeaderClick, this, &frmMain::Jgrid_GroupHeaderClick);
    connect(Jgrid, &ReportGrid::mouseUp, this, &frmMain::Jgrid_MouseUp);
    connect(Jgrid, &ReportGrid::dblClick, this, &frmMain::Jgrid_DblClick);
    connect(Jgrid, &ReportGrid::keyDown, this, [this](int &key, Qt::KeyboardModifiers) {
        switch (key) {
        case Qt::Key_Escape:
            Esc_Click();
            break;
        case Qt::Key_End:
            Jgrid->moveLast();
            break;
        case Qt::Key_Home:
            Jgrid->moveFirst();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (picksAccounts()) {
                key = 0;
                Jgrid_DblClick();
            }
            break;
        default:
            break;
        }
    });
    connect(Jgrid, &ReportGrid::keyPress, this, [this](int &character) {
        if (!isReportKind("masterinv"))
            return;
        const QChar typed = QChar(char16_t(character)).toUpper();
        character = 0;
        const int column = Jgrid->currentColumn();
        if (column <= 0)
            return;
        for (int p = qMax(Jgrid->currentRow() + 1, 1); p <= Jgrid->rowCount(); ++p) {
            if (Jgrid->row(p).type != GridRowType::Record)
                continue;
            const QString text = Jgrid->text(p, column);
            if (!text.isEmpty() && text.at(0).toUpper() == typed) {
                Jgrid->setCurrentRow(p);
                Jgrid->setCurrentColumn(column);
                return;
            }
        }
    });
    connect(Jgrid, &ReportGrid::formatRow, this, [](const GridRow &row, QString &caption) {
        if (row.type == GridRowType::GroupHeader)
            caption = caption + QStringLiteral(" (") + QString::number(row.recordCount) + QStringLiteral(" ) ");
    });
    connect(Jgrid, &ReportGrid::beforeDelete, this, [this](bool &cancel) {
        const int answer = platform::messageBox(
            this, QStringLiteral("Are you sure you want to delete the selected record(s)?"),
            platform::MsgStyle::YesNo | platform::MsgStyle::Question | platform::MsgStyle::DefaultButton2,
            QStringLiteral("Verify Delete"));
        if (answer == platform::MsgResult::No)
            cancel = true;
    });
    connect(Jgrid, &ReportGrid::dragStart, this, [](int &allowedEffects) { allowedEffects = 1; });
    connect(Jgrid, &ReportGrid::dragDataRequest, this,
            [this](QMimeData *data) { data->setText(Jgrid->selectedText(true)); });
    connect(Jgrid, &ReportGrid::printPage, this, [this](int page, int pageCount) {
        Jgrid->printerSettings().footerRight =
            QStringLiteral("Page %1 of %2").arg(page).arg(pageCount);
    });

    resize(900, 600);
    Form_Resize();
}

frmMain::~frmMain()
{
    // Closed while its rows were still arriving: the worker stops, and nothing it fetches later
    // reaches this window.
    if (LoadProgress::instance()->isRunning())
        LoadProgress::instance()->cancel();
    if (d->preview) {
        d->preview->releaseViewer();
        delete d->preview.data();
    }
    if (s_instance == this)
        s_instance = nullptr;
}

frmMain *frmMain::instance()
{
    return s_instance.data();
}

frmMain *frmMain::load()
{
    if (!s_instance) {
        auto *viewer = new frmMain;
        viewer->d->loadedKind = request().ReportKey;
        viewer->Form_Load();
    }
    return s_instance.data();
}

void frmMain::unloadAll()
{
    // Every window of the component is a class of ours; the host's windows are left alone, and so
    // are the controls themselves, which belong to the host even when it shows one as a window.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        const char *name = window->metaObject()->className();
        if (qstrncmp(name, "velmora::", 9) != 0 || !window->isWindow())
            continue;
        if (window->inherits("velmora::QLrvx") || window->inherits("velmora::QLCustSearch"))
            continue;
        window->hide();
        window->deleteLater();
    }
}

QAction *frmMain::MnuViewStyle(int i) const
{
    return i >= 0 && i < int(d->viewStyles.size()) ? d->viewStyles[std::size_t(i)] : nullptr;
}

QAction *frmMain::addMnuViewStyle()
{
    const int index = int(d->viewStyles.size());
    auto *action = mnuCurrentView->addAction(QString());
    action->setObjectName(QStringLiteral("MnuViewStyle(%1)").arg(index));
    action->setCheckable(true);
    d->viewStyles.push_back(action);
    connect(action, &QAction::triggered, this, [this, action](bool checked) {
        // A checked entry clicked again stays checked and changes nothing.
        if (!checked) {
            action->setChecked(true);
            return;
        }
        action->setChecked(false);
        toggleCardView();
    });
    return action;
}

void frmMain::Form_Resize()
{
    if (!Jgrid || !Toolbar || !Esc)
        return;
    // Measures of the rule are twips, the window's scale unit.
    const double twipsPerPixel = 1440.0 / qMax(1, logicalDpiX());
    const auto px = [twipsPerPixel](int twips) { return int(twips / twipsPerPixel + 0.5); };
    const int innerWidth = d->area->width();
    const int innerHeight = d->area->height();
    const int barHeight = Toolbar->sizeHint().height();
    const int escWidth = qMax(Esc->sizeHint().width(), px(1200));
    Toolbar->setGeometry(0, 0, qMax(0, innerWidth - escWidth), barHeight);
    Esc->setGeometry(qMax(0, innerWidth - escWidth), 1, escWidth, qMax(0, barHeight - 2));
    Jgrid->setGeometry(px(60), Toolbar->height(), qMax(0, innerWidth - px(90)),
                       qMax(0, innerHeight - Toolbar->height()));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->area && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::showFitToPage(bool on)
{
    Toolbar->setAppearance(kFitColsPanel, on ? CommandBar::Pressed : CommandBar::Raised);
    MNUfitcol->setChecked(on);
}

void frmMain::Toolbar_PanelClick(int index)
{
    runCommand(Toolbar->tag(index), index);
}

void frmMain::runCommand(const QString &key, int panel)
{
    switch (barCommand(key)) {
    case BarCommand::None:
        break;
    case BarCommand::Open:
        OpenLayout(*this);
        break;
    case BarCommand::Save: {
        bool saveAs = false;
        SaveLayout(*this, saveAs);
        break;
    }
    case BarCommand::SaveAs: {
        bool saveAs = true;
        SaveLayout(*this, saveAs);
        break;
    }
    case BarCommand::ExportEmail:
        frmExportOptions::ShowOptions(*this);
        break;
    case BarCommand::ExportXLS: {
        int kind = 1;
        ExportCommand(*this, kind);
        break;
    }
    case BarCommand::ExportHTML: {
        int kind = 2;
        ExportCommand(*this, kind);
        break;
    }
    case BarCommand::ExportTXT: {
        int kind = 3;
        ExportCommand(*this, kind);
        break;
    }
    case BarCommand::PrintPreview:
        mnuPrintPreview_Click();
        break;
    case BarCommand::Print:
        mnuPrint_Click(0);
        break;
    case BarCommand::Fields:
        frmShowfields::ShowFields(*Jgrid, this);
        break;
    case BarCommand::Group:
        if (!Jgrid->isHidden())
            frmGroupBy::GroupGrid(*Jgrid, this);
        break;
    case BarCommand::Sort:
        if (!Jgrid->isHidden())
            frmSort::SortGrid(*Jgrid, this);
        break;
    case BarCommand::Views:
        toggleCardView();
        break;
    case BarCommand::FitCols:
        toggleFitToPage();
        break;
    case BarCommand::ShowGroupByBox:
        toggleGroupByBox(panel);
        break;
    case BarCommand::Summary:
        frmSummary::ShowSummary(*Jgrid, this);
        break;
    case BarCommand::MoveFirst:
        Jgrid->moveFirst();
        Jgrid->setFocus();
        break;
    case BarCommand::MoveLast:
        Jgrid->moveLast();
        Jgrid->setFocus();
        break;
    case BarCommand::MovePrevious:
        Jgrid->movePrevious();
        Jgrid->setFocus();
        break;
    case BarCommand::MoveNext:
        Jgrid->moveNext();
        Jgrid->setFocus();
        break;
    }
}

void frmMain::toggleCardView()
{
    QAction *table = MnuViewStyle(0);
    QAction *card = MnuViewStyle(1);
    if (Jgrid->viewMode() == 1) {
        Jgrid->setViewMode(0);
        Toolbar->setAppearance(kViewsPanel, CommandBar::Raised);
        // The card view drops the grouping; the table view gets the totals group back.
        if (Jgrid->columnCount() > 0)
            Jgrid->groups().add(Jgrid->columnCount(), 1);
        if (table)
            table->setChecked(true);
        if (card)
            card->setChecked(false);
    } else {
        Jgrid->setViewMode(1);
        Toolbar->setAppearance(kViewsPanel, CommandBar::Pressed);
        if (table)
            table->setChecked(false);
        if (card)
            card->setChecked(true);
    }
}

void frmMain::toggleFitToPage()
{
    PrinterSettings &settings = Jgrid->printerSettings();
    settings.fitColumnsToPage = !settings.fitColumnsToPage;
    showFitToPage(settings.fitColumnsToPage);
}

void frmMain::toggleGroupByBox(int panel)
{
    if (!Jgrid->groupByBoxVisible()) {
        Jgrid->setGroupByBoxVisible(true);
        mnugbBox->setChecked(true);
        Toolbar->setAppearance(panel, CommandBar::Raised);
    } else {
        Jgrid->setGroupByBoxVisible(false);
        mnugbBox->setChecked(false);
        Toolbar->setAppearance(panel, CommandBar::Pressed);
    }
}

void frmMain::Esc_Click()
{
    unloadAll();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (d->preview) {
        d->preview->releaseViewer();
        d->preview->close();
    }
    QMainWindow::closeEvent(event);
}

// ---- Grid events ------------------------------------------------------------------------------

namespace {

// Keeps the current row across a re-sort when it is one of the first two rows.
class RowKeeper {
public:
    explicit RowKeeper(ReportGrid &grid) : m_grid(grid)
    {
        const int row = grid.currentRow();
        if (row < 3) {
            m_row = row;
            m_remembered = true;
        }
    }
    void restore()
    {
        if (!m_remembered)
            return;
        m_grid.refresh();
        m_grid.setCurrentRow(m_row);
    }

private:
    ReportGrid &m_grid;
    int m_row = 0;
    bool m_remembered = false;
};

} // namespace

void frmMain::Jgrid_ColumnHeaderClick(int columnIndex)
{
    GridColumn *column = Jgrid->column(columnIndex);
    if (!column)
        return;
    if (column->groupPosition() != 0) {
        // A grouped column flips its group's order instead of becoming a sort key.
        for (int i = 1; i <= Jgrid->groups().count(); ++i) {
            if (Jgrid->groups().item(i).column == columnIndex)
                Jgrid_GroupHeaderClick(i);
        }
        return;
    }
    RowKeeper keeper(*Jgrid);
    const int order = column->sortOrder();
    Jgrid->sortKeys().clear();
    Jgrid->sortKeys().add(columnIndex, order == 1 ? -1 : 1);
    Jgrid->resort();
    keeper.restore();
}

void frmMain::Jgrid_GroupHeaderClick(int groupItem)
{
    if (groupItem < 1 || groupItem > Jgrid->groups().count())
        return;
    RowKeeper keeper(*Jgrid);
    platform::setBusy(true);
    Jgrid->groups().setOrder(groupItem, -Jgrid->groups().item(groupItem).order);
    Jgrid->regroup();
    platform::setBusy(false);
    keeper.restore();
}

void frmMain::Jgrid_MouseUp(Qt::MouseButton button, QPoint pos)
{
    if (button != Qt::RightButton)
        return;
    switch (Jgrid->hitTest(pos)) {
    case GridArea::GroupRow: {
        const int position = Jgrid->rowFromPoint(pos);
        if (position <= 0)
            return;
        MNUexpand->setProperty("tag", QString::number(Jgrid->row(position).rowIndex));
        MNUexpandPU->popup(Jgrid->mapToGlobal(pos));
        break;
    }
    case GridArea::ColumnHeader: {
        GridColumn *column = Jgrid->column(Jgrid->columnFromPoint(pos));
        if (!column)
            return;
        MNUColumnHeader->setProperty("tag", column->caption());
        MNUColumnHeader->popup(Jgrid->mapToGlobal(pos));
        break;
    }
    default:
        break;
    }
}

bool frmMain::picksAccounts() const
{
    const QString kind = d->loadedKind.value_or(request().ReportKey);
    return kind.compare(QLatin1String("customersearch"), Qt::CaseInsensitive) == 0;
}

void frmMain::Jgrid_DblClick()
{
    if (!picksAccounts())
        return;
    for (int position = 1; position <= Jgrid->columnCount(); ++position) {
        GridColumn *column = Jgrid->columnAtPosition(position);
        if (!column || column->caption().compare(QLatin1String("account"), Qt::CaseInsensitive) != 0)
            continue;
        const int row = Jgrid->currentRow();
        const QString account = row > 0 ? Jgrid->value(row, column->index()).toString() : QString();
        // Through the slot by name: a label that watches its own text (the search control's)
        // declares its own setText, which a plain QLabel::setText call would pass by.
        if (QLabel *target = request().SearchResultTarget.data())
            QMetaObject::invokeMethod(target, "setText", Qt::DirectConnection, Q_ARG(QString, account));
        return;
    }
}

void SetGroupExpanded(ReportGrid &grid, int rowIndex, bool expand)
{
    platform::setBusy(true);
    if (grid.groups().count() > 0) {
        grid.setRedraw(false);
        for (int p = 1; p <= grid.rowCount(); ++p) {
            const GridRow row = grid.row(p);
            if (row.type == GridRowType::GroupHeader && row.rowIndex == rowIndex)
                grid.setExpanded(p, expand);
        }
        grid.setRedraw(true);
    }
    platform::setBusy(false);
}

// ---- Printing ---------------------------------------------------------------------------------

QPrinter &frmMain::printer()
{
    return d->printer;
}

frmPrintPreview *frmMain::printPreview() const
{
    return d->preview.data();
}

void frmMain::showStatus(const QString &text)
{
    d->status->setText(text);
}

QString frmMain::statusText() const
{
    return d->status->text();
}

namespace {

// The settings every print and preview starts from.
void applyPrintSettings(ReportGrid &grid)
{
    PrinterSettings &settings = grid.printerSettings();
    settings.repeatHeaders = true;
    settings.repeatFrozenColumns = true;
    settings.headerLeft = request().ReportTitle;
}

} // namespace

void frmMain::mnuPageSetup_Click()
{
    try {
        Jgrid->applyPageLayout(&d->printer);
        Jgrid->pageSetupDialog(&d->printer, this);
    } catch (...) {
        // Page setup fails as quietly as printing does.
    }
}

void frmMain::mnuPrint_Click(int index)
{
    showStatus(QString());
    try {
        applyPrintSettings(*Jgrid);
        QPrinter &printer = d->printer;
        Jgrid->applyPageLayout(&printer);
        printer.setPrintRange(index == 1 ? QPrinter::Selection : QPrinter::AllPages);

        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("dlgPrint"));
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintSelection |
                          QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
        if (dialog.exec() != QDialog::Accepted)
            return;

        if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid()) {
            showStatus(QStringLiteral("No printer is available. Install a printer or print to a PDF file."));
            return;
        }
        if (printer.outputFormat() == QPrinter::PdfFormat) {
            const QString file = printer.outputFileName();
            if (file.isEmpty()) {
                showStatus(QStringLiteral("No printer is available. Install a printer or print to a PDF file."));
                return;
            }
            // Ask the file system first, so the user learns why instead of getting no pages.
            QFile probe(file);
            const bool existed = probe.exists();
            if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
                showStatus(QStringLiteral("The PDF file %1 cannot be written: %2")
                               .arg(QDir::toNativeSeparators(file), probe.errorString()));
                return;
            }
            probe.close();
            if (!existed)
                probe.remove();
        }
        printPages(printer, printer.printRange() == QPrinter::Selection);
    } catch (...) {
        // A failure ends the print without a message.
    }
}

namespace {

// The progress window of a print: it shows only for a job that takes longer than about a second,
// says which page is being printed and takes a Cancel, which stops at the next page.
class PrintProgress {
public:
    PrintProgress(QWidget *parent, int pages)
        : m_dialog(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0, pages, parent)
    {
        m_dialog.setObjectName(QStringLiteral("frmPrintProgress"));
        m_dialog.setWindowTitle(QStringLiteral("Print"));
        // Printing from the preview leaves the viewer hidden: nothing else takes input meanwhile.
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(1000);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_clock.start();
    }
    // Before each page; false once the user has cancelled.
    bool page(int n, int pages)
    {
        // A few updates a second, whatever the pages cost.
        if (n == 1 || m_clock.elapsed() >= 200) {
            m_clock.restart();
            m_dialog.setLabelText(QStringLiteral("Printing page %1 of %2").arg(n).arg(pages));
            m_dialog.setValue(n - 1);
            QCoreApplication::processEvents();
        }
        return !m_dialog.wasCanceled();
    }
    bool cancelled() const { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
    QElapsedTimer m_clock;
};

} // namespace

void frmMain::printPages(QPrinter &printer, bool selectedOnly)
{
    const GridPages pages(*Jgrid, &printer, selectedOnly);
    if (pages.pageCount() == 0)
        return;
    // A PDF is written beside its name and takes the name only when complete, so a cancelled or
    // failed print leaves whatever file was there before, untouched.
    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    const QString target = printer.outputFileName();
    QString partial;
    if (pdf) {
        QTemporaryFile temp(target + QStringLiteral(".XXXXXX.part"));
        temp.setAutoRemove(false);
        if (!temp.open()) {
            showStatus(QStringLiteral("The PDF file %1 cannot be written: %2")
                           .arg(QDir::toNativeSeparators(target), temp.errorString()));
            return;
        }
        partial = temp.fileName();
        printer.setOutputFileName(partial);
    }
    PrintProgress progress(this, pages.pageCount());
    int reached = 0;
    const bool printed = pages.print(&printer, [&](int page, int count) {
        reached = page;
        return progress.page(page, count);
    });
    if (pdf) {
        printer.setOutputFileName(target);
        bool placed = false;
        if (printed) {
            // Replaces an earlier file in one step, so a failure keeps it whole.
            std::error_code error;
            std::filesystem::rename(std::filesystem::path(partial.toStdU16String()),
                                    std::filesystem::path(target.toStdU16String()), error);
            placed = !error;
        }
        if (!placed)
            QFile::remove(partial);
        if (printed && !placed) {
            showStatus(QStringLiteral("The PDF file %1 cannot be written.").arg(QDir::toNativeSeparators(target)));
            return;
        }
    }
    if (progress.cancelled()) {
        showStatus(pdf ? QStringLiteral("Printing was cancelled; the PDF file %1 was not written.")
                             .arg(QDir::toNativeSeparators(target))
                       : QStringLiteral("Printing was cancelled after %1 of %2 pages.").arg(reached - 1).arg(pages.pageCount()));
        return;
    }
    if (!printed || printer.printerState() == QPrinter::Error)
        showStatus(QStringLiteral("The pages could not be printed on %1.")
                       .arg(pdf ? QDir::toNativeSeparators(target) : printer.printerName()));
}

void frmMain::mnuPrintPreview_Click()
{
    bool busy = false;
    try {
        applyPrintSettings(*Jgrid);
        Jgrid->applyPageLayout(&d->printer);
        if (!d->preview)
            d->preview = new frmPrintPreview(this);
        frmPrintPreview *preview = d->preview.data();
        if (isMaximized()) {
            preview->setWindowState(Qt::WindowMaximized);
        } else {
            preview->setWindowState(Qt::WindowNoState);
            preview->setGeometry(geometry());
        }
        preview->show();
        platform::processEvents();
        platform::setBusy(true);
        busy = true;
        preview->showPages(std::make_shared<GridPages>(*Jgrid, &d->printer, Jgrid->selectedCount() >= 2));
        platform::setBusy(false);
        busy = false;
        hide();
    } catch (...) {
        // The preview stays open and the viewer shown.
        if (busy)
            platform::setBusy(false);
    }
}

} // namespace velmora

#include "moc_frmMain.cpp"
