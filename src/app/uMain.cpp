#include "app/uMain.h"
#include "picture/uQtPicture.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/canvas/uPropertyWindows.h"
#include "app/optimise/uChooseParams.h"
#include "app/results/uDesignDlg.h"
#include "app/results/uFlowLinesDlg.h"
#include "app/results/uPartTracesDlg.h"
#include "app/results/uPictureSizeDlg.h"
#include "app/results/uRunScope.h"
#include "app/results/uSpeedDlg.h"
#include "app/solver/uDiscret.h"
#include "app/uAbout.h"
#include "app/uHelp.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDxfImport.h"
#include "settings/uSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <string_view>
#include <tuple>

namespace kalvex {

namespace {

QString U(const char* Text) {
    return QString::fromUtf8(Text);
}

const char* const EditCaption = "Редактирование";
const char* const CountCaption = "Моделирование";

// Buttons of each mode; the rest of the main bar is always there.
const char* const EditButtons[] = {"tbSelect", "tbDrawFiniteEdge", "tbDrawInfiniteEdge",
                                   "tbDrawCylinder"};
const char* const CountButtons[] = {"tbDiscr",       "tbFlowLines",  "tbPartTrace",  "tbDiscr2",
                                    "tbDrawEdgeEls", "tbShowModRes", "tbFlowLine",   "tbDelModel",
                                    "tbSpeed",       "tbSpeed2",     "tbRotateBack", "tbRotate",
                                    "tbSepar2",      "tbLegend"};

} // namespace

QCursor TakeCursor() {
    static const QCursor Take(QIcon(QStringLiteral(":/cursors/take.svg")).pixmap(32, 32), 16, 2);
    return Take;
}

// The document's questions answered with the window's boxes and file dialogs.
class TfrmMain::TUi final : public TDocumentUi {
public:
    explicit TUi(TMessages& M) : Msg(M) {}

    TSaveAnswer AskSaveChanges(const std::string& Text) override {
        switch (Msg.AskYesNoCancel(QString::fromStdString(Text))) {
        case TMsgAnswer::Yes:
            return TSaveAnswer::Yes;
        case TMsgAnswer::No:
            return TSaveAnswer::No;
        case TMsgAnswer::Cancel:
            break;
        }
        return TSaveAnswer::Cancel;
    }
    std::optional<std::string> AskOpenName(const std::string& Folder) override {
        return Ask(Msg.OpenFileName(Dialog("Открыть файл", Folder)));
    }
    std::optional<std::string> AskSaveName(const std::string& Initial) override {
        return Ask(Msg.SaveFileName(Dialog("Сохранить файл", Initial)));
    }
    void ShowMessage(const std::string& Text) override { Msg.Show(QString::fromStdString(Text)); }
    bool AskYesNo(const std::string& Text) override {
        return Msg.AskYesNo(QString::fromStdString(Text)) == TMsgAnswer::Yes;
    }

private:
    static TFileDialogInfo Dialog(const char* Title, const std::string& Initial) {
        return {U(Title), U("Системы аспирации (*.asp)"), QStringLiteral("asp"),
                QString::fromStdString(Initial)};
    }
    static std::optional<std::string> Ask(const QString& Name) {
        if (Name.isEmpty())
            return std::nullopt;
        return Name.toStdString();
    }
    TMessages& Msg;
};

TfrmMain::TfrmMain(TMessages& M, std::filesystem::path SettingsFile, QWidget* Parent)
    : QMainWindow(Parent), Msg(M), SettingsPath(std::move(SettingsFile)),
      Ui(std::make_unique<TUi>(M)), Wizard(std::make_unique<TWizard>()) {
    setObjectName(QStringLiteral("frmMain"));
    UseLocaleInMessages();
    setWindowIcon(QIcon(QStringLiteral(":/icons/kalvex.svg")));

    auto* Scroll = new QScrollArea(this);
    Scroll->setObjectName(QStringLiteral("ScrollBox"));
    Scroll->setWidgetResizable(true);
    Scroll->setFrameShape(QFrame::NoFrame);
    Box = new TEdgesPaintBox(Doc.Canvas(), Scroll);
    Box->setCursor(Qt::CrossCursor);
    Scroll->setWidget(Box);
    setCentralWidget(Scroll);

    Props = new TPropertyWindows(Doc, Msg, this);
    RunContext = std::make_unique<TRunContext>(
        TRunContext{Doc, Msg, *Box, [this](bool On) { SetBusy(On); }});
    FrmDiscret = new TfrmDiscret(Doc, Msg, this);
    FrmFlowLines = new TfrmFlowLines(*RunContext, this);
    FrmFlowLine = new TfrmFlowLine(*RunContext, this);
    FrmSpeed = new TfrmSpeed(*RunContext, this);
    FrmPartTraces = new TfrmPartTraces(*RunContext, this);
    FrmContour = new TfrmContour(*RunContext, this);
    FrmEfficiencyChart = new TfrmEfficiencyChart(Msg, this);
    FrmEfficiency = new TfrmEfficiency(*RunContext, *FrmEfficiencyChart, this);
    Doc.Canvas().LegendFormat = [](double V) { return NumberText(V).toStdString(); };
    Doc.NumberFormat = Doc.Canvas().LegendFormat;

    // Esc stops a computation started from the canvas (a first velocity's solve),
    // whichever of the program's windows is active; only while one runs, as the canvas
    // has its own use for the key.
    StopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    StopKey->setContext(Qt::ApplicationShortcut);
    StopKey->setEnabled(false);
    connect(StopKey, &QShortcut::activated, this, [this] { Doc.Solver().StopBuilding(); });

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    ConnectCanvas();

    Doc.OnStateChange = [this] {
        UpdateCaption();
        UpdateModeControls();
        UpdateUndoCommands();
        if (Recent.Note(Doc))
            SaveRecentFiles();
    };
    Recent.Load(RecentFilesPath(SettingsPath));
    FillRecentMenu();
    setAcceptDrops(true);
    Doc.PrepareModelling = [this] { return PrepareModelling(); };
    ReadSettingsFile();
    UpdateCaption();
    UpdateModeControls();
    UpdateEditCommands();
    UpdateWindowTicks();
    Box->setFocus();
}

TfrmMain::~TfrmMain() {
    Doc.OnStateChange = nullptr;
    Doc.PrepareModelling = nullptr;
    TEdgesCanvas& C = Doc.Canvas();
    C.PrevKeyDown = nullptr;
    C.OnSelect = nullptr;
    C.OnChange = nullptr;
    C.OnModify = nullptr;
    C.OnMoveRefused = nullptr;
    C.OnCanvasMouseDown = nullptr;
    C.OnCanvasMouseMove = nullptr;
    C.Question = nullptr;
    C.CopyBufferToScreen = nullptr;
    C.SetSurfaces(nullptr, nullptr);
    // The children outlive the document; nothing may call back into the window.
    disconnect(Props, nullptr, this, nullptr);
    disconnect(Box, nullptr, this, nullptr);
}

// ---------------------------------------------------------------- building the window

QAction* TfrmMain::MakeAction(const char* Name, const char* Text, const char* Icon) {
    auto* A = new QAction(U(Text), this);
    A->setObjectName(QLatin1String(Name));
    if (Icon != nullptr)
        A->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(Icon))));
    return A;
}

QAction* TfrmMain::MakeToolAction(const char* Name, const char* Hint, const char* Icon) {
    QAction* A = MakeAction(Name, Hint, Icon);
    A->setToolTip(U(Hint));
    A->setStatusTip(U(Hint));
    return A;
}

void TfrmMain::CreateActions() {
    // File
    connect(MakeAction("miNew", "Создать", "new"), &QAction::triggered, this, &TfrmMain::FileNew);
    connect(MakeAction("miOpen", "Открыть", "open"), &QAction::triggered, this,
            &TfrmMain::FileOpen);
    connect(MakeAction("miSave", "Сохранить", "save"), &QAction::triggered, this,
            &TfrmMain::FileSave);
    connect(MakeAction("miSaveAs", "Сохранить как..."), &QAction::triggered, this,
            &TfrmMain::FileSaveAs);
    connect(MakeAction("miExit", "Выход"), &QAction::triggered, this, &QWidget::close);
    connect(MakeAction("miImportDxf", "Импорт DXF..."), &QAction::triggered, this,
            &TfrmMain::ImportDxf);
    connect(MakeAction("miExportDxf", "Экспорт DXF..."), &QAction::triggered, this,
            &TfrmMain::ExportDxf);
    connect(MakeAction("miPrint", "Печать..."), &QAction::triggered, this, &TfrmMain::Print);
    connect(MakeAction("miPrintPreview", "Предварительный просмотр..."), &QAction::triggered, this,
            &TfrmMain::PrintPreview);
    connect(MakeToolAction("tbNew", "Создать", "new"), &QAction::triggered, this,
            &TfrmMain::FileNew);
    connect(MakeToolAction("tbOpen", "Открыть", "open"), &QAction::triggered, this,
            &TfrmMain::FileOpen);
    connect(MakeToolAction("tbSave", "Сохранить", "save"), &QAction::triggered, this,
            &TfrmMain::FileSave);
    findChild<QAction*>(QStringLiteral("miNew"))->setShortcut(QKeySequence::New);
    findChild<QAction*>(QStringLiteral("miOpen"))->setShortcut(QKeySequence::Open);
    findChild<QAction*>(QStringLiteral("miSave"))->setShortcut(QKeySequence::Save);
    findChild<QAction*>(QStringLiteral("miSaveAs"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    findChild<QAction*>(QStringLiteral("miExit"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    findChild<QAction*>(QStringLiteral("miPrint"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    // View: the two modes as menu items and as the radio pair of the mode button
    for (const char* Name : {"miEditMode", "miCountMode", "miEdit", "miCount"}) {
        const bool Edit =
            Name == std::string_view("miEditMode") || Name == std::string_view("miEdit");
        QAction* A = MakeAction(Name, Edit ? EditCaption : CountCaption);
        A->setCheckable(true);
        connect(A, &QAction::triggered, this,
                [this, Edit] { SwitchMode(Edit ? TMode::mdEdit : TMode::mdCount); });
    }
    auto* ModeGroup = new QActionGroup(this);
    ModeGroup->addAction(findChild<QAction*>(QStringLiteral("miEdit")));
    ModeGroup->addAction(findChild<QAction*>(QStringLiteral("miCount")));

    for (const auto& [Name, Text] : {std::pair{"miEdgeProp", "Прямолинейная область"},
                                     std::pair{"miCylProp", "Цилиндрическая область"},
                                     std::pair{"miDiscreteProp", "Дискретизация ребра"}}) {
        QAction* A = MakeAction(Name, Text);
        A->setCheckable(true);
        const std::string_view N = Name;
        connect(A, &QAction::triggered, this, [this, N](bool On) {
            ToggleToolWindow(N == "miEdgeProp"  ? Props->EdgeProp()
                             : N == "miCylProp" ? Props->CylProp()
                                                : Props->DiscreteProp(),
                             On);
        });
    }
    connect(MakeAction("miSettings", "Настройки"), &QAction::triggered, this,
            &TfrmMain::EditSettings);

    connect(MakeAction("miUndo", "Отменить"), &QAction::triggered, this, &TfrmMain::UndoEdit);
    connect(MakeAction("miRedo", "Повторить"), &QAction::triggered, this, &TfrmMain::RedoEdit);
    findChild<QAction*>(QStringLiteral("miUndo"))->setShortcut(QKeySequence::Undo);
    findChild<QAction*>(QStringLiteral("miRedo"))
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});

    // Editing commands: the "Правка" menu (enabled by the selection) and the right-click
    // menu (shown by it)
    for (const char* Prefix : {"mi", "pm"}) {
        const QString P = QLatin1String(Prefix);
        auto Make = [&](const char* Name, const char* Text) {
            return MakeAction((P + QLatin1String(Name)).toLatin1().constData(), Text);
        };
        connect(Make("DeleteEdge", "Удалить границу"), &QAction::triggered, this,
                &TfrmMain::DeleteEdge);
        connect(Make("InvertEdge", "Повернуть сторону воздуха"), &QAction::triggered, this,
                &TfrmMain::InvertEdge);
        connect(Make("AutoSpeed", "Автоподбор скорости"), &QAction::triggered, this,
                &TfrmMain::AutoSpeed);
        connect(Make("ConvArc", "Преобразовать в дугу"), &QAction::triggered, this,
                &TfrmMain::ConvertArc);
    }

    // Editing tools
    ToolGroup = new QActionGroup(this);
    // Optional, so that a second press releases a two-state tool of modelling; the
    // other tools stay down when pressed again.
    ToolGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    struct TToolDef {
        const char* Name;
        const char* Hint;
        const char* Icon;
        TEditTool Tool;
    };
    const TToolDef Tools[] = {
        {"tbSelect", "Выбрать", "select", etSelect},
        {"tbPan", "Переместить", "pan", etPan},
        {"tbDrawFiniteEdge", "Нарисовать прямолинейную замкнутую область", "closed", etClosedEdge},
        {"tbDrawInfiniteEdge", "Нарисовать прямолинейную полубесконечную область", "semiinfinite",
         etSemiInfiniteEdge},
        {"tbDrawCylinder", "Нарисовать цилиндрическую область", "cylinder", etCylinder},
    };
    for (const TToolDef& T : Tools) {
        QAction* A = MakeToolAction(T.Name, T.Hint, T.Icon);
        A->setCheckable(true);
        ToolGroup->addAction(A);
        const TEditTool Tool = T.Tool;
        // Toggled rather than triggered: an assistive tool toggles the button without a
        // click, and the tool must change all the same.
        connect(A, &QAction::toggled, this, [this, Tool](bool On) {
            if (On)
                SelectTool(Tool);
        });
        connect(A, &QAction::triggered, A, [A](bool On) {
            if (!On)
                A->setChecked(true);
        });
    }
    findChild<QAction*>(QStringLiteral("tbDrawFiniteEdge"))->setChecked(true);

    // Modelling: in place for the modelling mode, hidden while editing
    auto FlowLines = [this] {
        FrmFlowLines->exec();
        Box->Redraw();
    };
    auto PartTrace = [this] {
        FrmPartTraces->exec();
        Box->Redraw();
    };
    connect(MakeAction("N9", "Выполнить дискретизацию"), &QAction::triggered, this,
            &TfrmMain::Discretise);
    connect(MakeAction("N8", "Построить линии тока"), &QAction::triggered, this, FlowLines);
    connect(MakeAction("N10", "Построить траекторию частицы"), &QAction::triggered, this,
            PartTrace);
    connect(MakeAction("miContour", "Изолиния скорости..."), &QAction::triggered, this, [this] {
        FrmContour->exec();
        Box->Redraw();
    });
    connect(MakeAction("miEfficiency", "Эффективность улавливания..."), &QAction::triggered, this,
            [this] { FrmEfficiency->exec(); });
    connect(MakeAction("miSaveRes_Mod", "В формате *.mod"), &QAction::triggered, this,
            [this] { SaveResults(false); });
    connect(MakeAction("miSaveRes_Wmf", "В формате *.wmf"), &QAction::triggered, this,
            [this] { SaveResults(true); });
    connect(MakeAction("N11", "Выбор оптимальных параметров"), &QAction::triggered, this,
            &TfrmMain::ChooseOptimalParams);
    connect(MakeToolAction("tbDiscr", "Выполнить дискретизацию", "discretize"), &QAction::triggered,
            this, &TfrmMain::Discretise);
    connect(MakeToolAction("tbFlowLines", "Построить поле скоростей", "flowlines"),
            &QAction::triggered, this, FlowLines);
    connect(MakeToolAction("tbPartTrace", "Построить траекторию частицы", "particle"),
            &QAction::triggered, this, PartTrace);
    // A two-state tool released by its second press hands the canvas back to panning.
    auto ReleaseToPan = [this](QAction* Tool) {
        connect(Tool, &QAction::triggered, this, [this](bool Down) {
            if (!Down)
                findChild<QAction*>(QStringLiteral("tbPan"))->setChecked(true);
        });
    };
    QAction* Discr2 = MakeToolAction("tbDiscr2", "Удвоить дискретизацию", "refine");
    Discr2->setCheckable(true);
    ToolGroup->addAction(Discr2);
    ReleaseToPan(Discr2);
    connect(Discr2, &QAction::toggled, this, [this](bool Down) {
        if (CornerPlaced) {
            CornerPlaced = false;
            Box->Redraw();
        }
        if (!Down)
            return;
        Doc.Canvas().SetTool(etNone);
        Box->setCursor(Qt::CrossCursor);
    });
    QAction* EdgeEls = MakeToolAction("tbDrawEdgeEls", "Показать дискретизацию", "elements");
    EdgeEls->setCheckable(true);
    connect(EdgeEls, &QAction::toggled, this, [this, EdgeEls](bool Down) {
        Doc.Canvas().EdgeElements = Down ? &Doc.Solver().Elements : nullptr;
        const QString Hint = U(Down ? "Скрыть дискретизацию" : "Показать дискретизацию");
        EdgeEls->setText(Hint);
        EdgeEls->setToolTip(Hint);
        Box->Redraw();
    });
    QAction* ModRes = MakeToolAction("tbShowModRes", "Скрыть результаты моделирования", "results");
    ModRes->setCheckable(true);
    connect(ModRes, &QAction::toggled, this, [this, ModRes](bool Down) {
        Doc.Canvas().ShowResults = !Down;
        const QString Hint =
            U(Down ? "Показать результаты моделирования" : "Скрыть результаты моделирования");
        ModRes->setText(Hint);
        ModRes->setToolTip(Hint);
        Box->Redraw();
    });
    QAction* Legend = MakeToolAction("tbLegend", "Показать шкалу скоростей", "legend");
    Legend->setCheckable(true);
    connect(Legend, &QAction::toggled, this, [this, Legend](bool Down) {
        Doc.Canvas().ShowLegend(Down);
        const QString Hint = U(Down ? "Скрыть шкалу скоростей" : "Показать шкалу скоростей");
        Legend->setText(Hint);
        Legend->setToolTip(Hint);
        Box->Redraw();
    });
    // The lines' own range by default; ticked, the openings' velocities.
    QAction* OpeningsScale = MakeAction("miScaleOpenings", "Шкала скоростей по отсосам");
    OpeningsScale->setCheckable(true);
    connect(OpeningsScale, &QAction::toggled, this, [this](bool Down) {
        Doc.Canvas().SetSpeedScale(Down ? TSpeedScale::Openings : TSpeedScale::Lines);
        Box->Redraw();
    });
    QAction* Names = MakeToolAction("tbShowNames", "Показать имена объектов", "names");
    Names->setCheckable(true);
    connect(Names, &QAction::toggled, this, [this, Names](bool Down) {
        Doc.Canvas().ShowNames = Down;
        const QString Hint = U(Down ? "Скрыть имена объектов" : "Показать имена объектов");
        Names->setText(Hint);
        Names->setToolTip(Hint);
        Box->Redraw();
    });
    // The point-picking tools of modelling: the canvas leaves the clicks to the window.
    for (const auto& [Name, Hint, Icon] :
         {std::tuple{"tbFlowLine", "Нарисовать линию тока", "flowline"},
          std::tuple{"tbSpeed", "Рассчитать скорость в точке щелчком по чертежу", "speed"}}) {
        QAction* Pick = MakeToolAction(Name, Hint, Icon);
        Pick->setCheckable(true);
        ToolGroup->addAction(Pick);
        ReleaseToPan(Pick);
        connect(Pick, &QAction::toggled, this, [this](bool Down) {
            if (!Down)
                return;
            Doc.Canvas().SetTool(etNone);
            Box->setCursor(TakeCursor());
        });
    }
    connect(MakeToolAction("tbSpeed2", "Рассчитать скорость в точке по ее координатам", "speed2"),
            &QAction::triggered, this, [this] { FrmSpeed->exec(); });
    connect(MakeToolAction("tbRotate", "Поворот цилиндров", "rotate"), &QAction::triggered, this,
            &TfrmMain::Rotate);
    connect(
        MakeToolAction("tbRotateBack", "Установить цилиндры в исходное положение", "rotateback"),
        &QAction::triggered, this, &TfrmMain::RotateBack);
    connect(MakeToolAction("tbDelModel", "Удалить результаты моделирования", "clearresults"),
            &QAction::triggered, this, [this] {
                Doc.Canvas().DrawLines.ClearLines();
                Box->Redraw();
            });

    // Zoom: menu and tool bar share the handlers
    struct TZoomDef {
        const char* Menu;
        const char* Tool;
        const char* Text;
        const char* Icon;
        TZoom Kind;
    };
    const TZoomDef Zooms[] = {
        {"miZoomIn", "tbZoomIn", "Увеличить изображение", "zoomin", TZoom::zmIn},
        {"miZoomOut", "tbZoomOut", "Уменьшить изображение", "zoomout", TZoom::zmOut},
        {"miZoomNo", "tbZoomNo", "Восстановить изображение", "zoomreset", TZoom::zmReset},
    };
    for (const TZoomDef& Z : Zooms) {
        const TZoom Kind = Z.Kind;
        connect(MakeAction(Z.Menu, Z.Text, Z.Icon), &QAction::triggered, this,
                [this, Kind] { Zoom(Kind); });
        connect(MakeToolAction(Z.Tool, Z.Text, Z.Icon), &QAction::triggered, this,
                [this, Kind] { Zoom(Kind); });
    }
    {
        connect(MakeAction("miZoomFit", "Показать всю систему"), &QAction::triggered, this,
                [this] { Zoom(TZoom::zmFit); });
    }

    connect(MakeAction("miHelp", "Помощь"), &QAction::triggered, this, &TfrmMain::ShowHelp);
    findChild<QAction*>(QStringLiteral("miHelp"))->setShortcut(QKeySequence::HelpContents);
    connect(MakeAction("miAbout", "О программе"), &QAction::triggered, this, &TfrmMain::ShowAbout);
}

void TfrmMain::CreateMenus() {
    auto A = [this](const char* Name) { return findChild<QAction*>(QLatin1String(Name)); };
    auto Menu = [](QMenu* M, const char* Name) {
        M->setObjectName(QLatin1String(Name));
        return M;
    };
    QMenu* File = Menu(menuBar()->addMenu(U("Файл")), "mnuFile");
    File->addActions({A("miNew"), A("miOpen"), A("miSave"), A("miSaveAs")});
    File->addSeparator();
    File->addActions({A("miImportDxf"), A("miExportDxf")});
    File->addSeparator();
    File->addActions({A("miPrint"), A("miPrintPreview")});
    File->addSeparator();
    mnuRecent = Menu(File->addMenu(U("Последние файлы")), "mnuRecent");
    File->addSeparator();
    File->addAction(A("miExit"));

    QMenu* View = Menu(menuBar()->addMenu(U("Вид")), "mnuView");
    View->addActions({A("miEditMode"), A("miCountMode")});
    View->addSeparator();
    QMenu* Windows = Menu(View->addMenu(U("Окна")), "mnuWindows");
    Windows->addActions({A("miEdgeProp"), A("miCylProp"), A("miDiscreteProp")});
    QMenu* Panels = Menu(View->addMenu(U("Панели")), "mnuPanels");
    QAction* Basic = MakeAction("miBasicPanel", "Основная");
    QAction* FilePanel = MakeAction("miFilePanel", "Файл");
    Basic->setCheckable(true);
    FilePanel->setCheckable(true);
    Panels->addActions({Basic, FilePanel});
    View->addSeparator();
    View->addAction(A("miSettings"));

    mnuEditing = Menu(menuBar()->addMenu(U("Правка")), "mnuEditing");
    mnuEditing->addActions({A("miUndo"), A("miRedo")});
    mnuEditing->addSeparator();
    mnuEditing->addActions(
        {A("miDeleteEdge"), A("miInvertEdge"), A("miAutoSpeed"), A("miConvArc")});

    mnuCount = Menu(menuBar()->addMenu(U(CountCaption)), "mnuCount");
    mnuCount->addActions({A("N9"), A("N8"), A("N10"), A("miContour"), A("miEfficiency")});
    QMenu* SaveRes = Menu(mnuCount->addMenu(U("Сохранить результаты моделирования")), "mnuSaveRes");
    SaveRes->addActions({A("miSaveRes_Mod"), A("miSaveRes_Wmf")});
    mnuCount->addAction(A("N11"));
    mnuCount->addAction(A("miScaleOpenings"));

    QMenu* Scale = Menu(menuBar()->addMenu(U("Масштаб")), "mnuScale");
    Scale->addActions({A("miZoomIn"), A("miZoomOut"), A("miZoomNo"), A("miZoomFit")});

    QMenu* Help = Menu(menuBar()->addMenu(U("Справка")), "mnuHelp");
    Help->addActions({A("miHelp"), A("miAbout")});

    pmEdges = new QMenu(this);
    pmEdges->setObjectName(QStringLiteral("pmEdges"));
    pmEdges->addActions({A("pmDeleteEdge"), A("pmInvertEdge"), A("pmAutoSpeed"), A("pmConvArc")});
}

void TfrmMain::CreateToolBars() {
    auto A = [this](const char* Name) { return findChild<QAction*>(QLatin1String(Name)); };
    FileBar = addToolBar(U("Файл"));
    FileBar->setObjectName(QStringLiteral("tbrFile"));
    BasicBar = addToolBar(U("Основная"));
    BasicBar->setObjectName(QStringLiteral("tbrBasic"));
    for (QToolBar* Bar : {FileBar, BasicBar}) {
        Bar->setIconSize(QSize(24, 24));
        Bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    FileBar->addActions({A("tbNew"), A("tbOpen"), A("tbSave")});

    // The mode button: a press switches to the other mode, its arrow offers both.
    auto* ModeMenu = new QMenu(this);
    ModeMenu->setObjectName(QStringLiteral("pmMode"));
    ModeMenu->addActions({A("miEdit"), A("miCount")});
    QAction* ModeAct = MakeToolAction("tbMode", "Изменить режим", "mode");
    connect(ModeAct, &QAction::triggered, this,
            [this] { SwitchMode(Doc.Mode() == TMode::mdEdit ? TMode::mdCount : TMode::mdEdit); });
    tbModeButton = new QToolButton(BasicBar);
    tbModeButton->setDefaultAction(ModeAct);
    tbModeButton->setMenu(ModeMenu);
    tbModeButton->setPopupMode(QToolButton::MenuButtonPopup);
    BasicBar->addWidget(tbModeButton);
    BasicBar->addSeparator();
    BasicBar->addActions({A("tbSelect"), A("tbPan"), A("tbDrawFiniteEdge"), A("tbDrawInfiniteEdge"),
                          A("tbDrawCylinder")});
    QAction* Separ2 = BasicBar->addSeparator();
    Separ2->setObjectName(QStringLiteral("tbSepar2"));
    BasicBar->addActions({A("tbDiscr"), A("tbFlowLines"), A("tbPartTrace"), A("tbDiscr2"),
                          A("tbDrawEdgeEls"), A("tbShowModRes"), A("tbLegend"), A("tbShowNames"),
                          A("tbFlowLine"), A("tbSpeed"), A("tbSpeed2"), A("tbRotate"),
                          A("tbRotateBack"), A("tbDelModel")});
    BasicBar->addSeparator();
    BasicBar->addActions({A("tbZoomIn"), A("tbZoomOut"), A("tbZoomNo")});

    // Buttons carry the names of their commands and are named by their hints.
    for (QToolBar* Bar : {FileBar, BasicBar}) {
        for (QAction* Act : Bar->actions()) {
            QWidget* W = Bar->widgetForAction(Act);
            if (W == nullptr || Act->isSeparator())
                continue;
            if (Act->objectName().startsWith(QLatin1String("tb"))) {
                W->setObjectName(Act->objectName());
                W->setAccessibleName(Act->toolTip());
            }
        }
    }
    tbModeButton->setObjectName(QStringLiteral("tbMode"));
    tbModeButton->setAccessibleName(ModeAct->toolTip());
    // Hints that change with the button state follow on the button's name.
    for (const char* Name : {"tbDrawEdgeEls", "tbShowModRes", "tbLegend", "tbShowNames"}) {
        QAction* Act = A(Name);
        connect(Act, &QAction::changed, this, [this, Act] {
            for (QToolBar* Bar : {FileBar, BasicBar})
                if (QWidget* W = Bar->widgetForAction(Act))
                    W->setAccessibleName(Act->toolTip());
        });
    }

    QAction* Basic = A("miBasicPanel");
    QAction* FilePanel = A("miFilePanel");
    Basic->setChecked(true);
    FilePanel->setChecked(true);
    connect(Basic, &QAction::triggered, BasicBar, &QWidget::setVisible);
    connect(FilePanel, &QAction::triggered, FileBar, &QWidget::setVisible);
    connect(BasicBar, &QToolBar::visibilityChanged, Basic, &QAction::setChecked);
    connect(FileBar, &QToolBar::visibilityChanged, FilePanel, &QAction::setChecked);
}

void TfrmMain::CreateStatusBar() {
    auto Panel = [this](const char* Name, int Width) {
        auto* L = new QLabel(this);
        L->setObjectName(QLatin1String(Name));
        L->setMinimumWidth(Width); // wider only when the font needs it
        L->setFrameShape(QFrame::Panel);
        L->setFrameShadow(QFrame::Sunken);
        statusBar()->addWidget(L);
        return L;
    };
    sbMode = Panel("sbMode", 100);
    sbCoords = Panel("sbCoords", 90);
    sbElements = Panel("sbElements", 200);
    sbHint = new QLabel(this);
    sbHint->setObjectName(QStringLiteral("sbHint"));
    statusBar()->addWidget(sbHint, 1);
    sbMode->setText(QLatin1Char(' ') + U(EditCaption));
}

void TfrmMain::ConnectCanvas() {
    TEdgesCanvas& C = Doc.Canvas();
    C.OnSelect = [this] {
        sbHint->clear();
        Props->FillPropertyWindows();
        UpdateEditCommands();
    };
    C.OnChange = [this] {
        Doc.MarkChanged();
        UpdateEditCommands();
    };
    C.OnModify = [this] {
        sbHint->clear();
        Doc.MarkChanged();
        Props->RefreshPointFields();
    };
    C.OnMoveRefused = [this](const std::string& Text) {
        sbHint->setText(QString::fromStdString(Text));
        QApplication::beep();
    };
    C.OnCanvasMouseDown = [this](TMouseButton B, TShiftState, int X, int Y) {
        CanvasMouseDown(B, X, Y);
    };
    C.OnCanvasMouseMove = [this](TShiftState, int X, int Y) { CanvasMouseMove(X, Y); };
    C.Question = [this](const std::string& Text) {
        return Msg.AskYesNo(QString::fromStdString(Text)) == TMsgAnswer::Yes ? TAnswer::Yes
                                                                             : TAnswer::No;
    };
    C.PrevKeyDown = [this](int Key, TShiftState) { CanvasKeyDown(Key); };
    connect(Box, &TEdgesPaintBox::DoubleClicked, this, &TfrmMain::CanvasDoubleClick);
    connect(Box, &TEdgesPaintBox::Wheel, this, [this](QPoint At, double Steps) {
        Doc.ZoomAt({At.x(), At.y()}, Steps);
        Box->Refresh();
    });
    connect(Props, &TPropertyWindows::Applied, this, &TfrmMain::AfterApply);
    connect(Props, &TPropertyWindows::VisibilityChanged, this, &TfrmMain::UpdateWindowTicks);
}

void TfrmMain::ReadSettingsFile() {
    try {
        ReadSettings(SettingsPath.string(), Doc.Canvas());
    } catch (const TKalvexError& E) {
        Msg.Show(QString::fromUtf8(E.what()), TMsgIcon::Error);
    }
}

// ---------------------------------------------------------------- state shown

void TfrmMain::UpdateCaption() {
    // Qt shows the mark in place of "[*]" while the window is modified, and nothing else.
    setWindowTitle(QString::fromStdString(Doc.Caption()) + QStringLiteral("[*]"));
    setWindowModified(!Doc.Saved());
}

void TfrmMain::UpdateModeControls() {
    const TMode Mode = Doc.Mode();
    const bool Edit = Mode == TMode::mdEdit;
    auto A = [this](const char* Name) { return findChild<QAction*>(QLatin1String(Name)); };
    sbMode->setText(QLatin1Char(' ') + U(Edit ? EditCaption : CountCaption));
    A("miEdit")->setChecked(Edit);
    A("miCount")->setChecked(!Edit);
    A("miEditMode")->setChecked(Edit);
    A("miCountMode")->setChecked(!Edit);
    mnuEditing->menuAction()->setVisible(Edit);
    mnuCount->menuAction()->setVisible(!Edit);
    for (const char* Name : EditButtons)
        A(Name)->setVisible(Edit);
    for (const char* Name : CountButtons)
        A(Name)->setVisible(!Edit);
    A("tbShowNames")->setVisible(false);
    if (Mode == ShownMode)
        return;
    ShownMode = Mode;
    CornerPlaced = false;
    if (Edit) {
        A("tbSelect")->setChecked(true);
        Box->setCursor(Qt::ArrowCursor);
        sbElements->clear();
        A("tbDrawEdgeEls")->setChecked(false);
    } else {
        A("tbPan")->setChecked(true);
        Box->setCursor(Qt::OpenHandCursor);
        ShowElementCount();
    }
    Box->Refresh();
}

void TfrmMain::UpdateEditCommands() {
    const TEditCommands C = Doc.EditCommands();
    auto Set = [this](const char* Name, bool On) {
        findChild<QAction*>(QLatin1String("mi") + QLatin1String(Name))->setEnabled(On);
        findChild<QAction*>(QLatin1String("pm") + QLatin1String(Name))->setVisible(On);
    };
    Set("DeleteEdge", C.Delete);
    Set("InvertEdge", C.Invert);
    Set("AutoSpeed", C.AutoSpeed);
    Set("ConvArc", C.ConvertToArc);
    UpdateUndoCommands();
}

void TfrmMain::UpdateUndoCommands() {
    auto Set = [this](const char* Name, const char* Text, bool On, const std::string& Step) {
        QAction* A = findChild<QAction*>(QLatin1String(Name));
        A->setEnabled(On);
        A->setText(On ? U(Text) + QStringLiteral(": ") + QString::fromStdString(Step) : U(Text));
    };
    Set("miUndo", "Отменить", Doc.CanUndo(), Doc.UndoName());
    Set("miRedo", "Повторить", Doc.CanRedo(), Doc.RedoName());
}

void TfrmMain::UpdateWindowTicks() {
    findChild<QAction*>(QStringLiteral("miEdgeProp"))->setChecked(Props->EdgeProp()->isVisible());
    findChild<QAction*>(QStringLiteral("miCylProp"))->setChecked(Props->CylProp()->isVisible());
    findChild<QAction*>(QStringLiteral("miDiscreteProp"))
        ->setChecked(Props->DiscreteProp()->isVisible());
}

// ---------------------------------------------------------------- file commands

void TfrmMain::FileNew() {
    if (Doc.New(*Ui)) {
        Props->FillPropertyWindows();
        UpdateEditCommands();
    }
    Box->Refresh();
}

void TfrmMain::FileOpen() {
    if (Doc.Open(*Ui)) {
        Props->FillPropertyWindows();
        UpdateEditCommands();
    }
    Box->Refresh();
}

void TfrmMain::OpenSystem(const QString& Path) {
    Doc.OpenFile(Path.toStdString(), *Ui);
    Props->FillPropertyWindows();
    UpdateEditCommands();
    Box->Refresh();
}

void TfrmMain::OpenWithPrompt(const QString& Path) {
    if (Doc.OpenPath(Path.toStdString(), *Ui)) {
        Props->FillPropertyWindows();
        UpdateEditCommands();
    }
    Box->Refresh();
}

void TfrmMain::OpenRecent(const QString& Path) {
    bool Changed = false;
    if (Recent.Open(Path.toStdString(), Doc, *Ui, Changed)) {
        Props->FillPropertyWindows();
        UpdateEditCommands();
    }
    if (Changed)
        SaveRecentFiles();
    Box->Refresh();
}

void TfrmMain::SaveRecentFiles() {
    FillRecentMenu();
    try {
        Recent.Save(RecentFilesPath(SettingsPath));
    } catch (const TKalvexError& E) {
        Msg.Show(QString::fromUtf8(E.what()), TMsgIcon::Error);
    }
}

void TfrmMain::FillRecentMenu() {
    mnuRecent->clear();
    int I = 0;
    for (const std::string& P : Recent.Items()) {
        const QString Path = QString::fromStdString(P);
        QAction* A = mnuRecent->addAction(QStringLiteral("&%1 %2").arg(++I).arg(Path));
        A->setObjectName(QStringLiteral("miRecent%1").arg(I));
        A->setData(Path);
        connect(A, &QAction::triggered, this, [this, Path] { OpenRecent(Path); });
    }
    mnuRecent->setEnabled(!Recent.Items().empty());
}

// A system file dragged from a file manager opens as Open would open it.
void TfrmMain::dragEnterEvent(QDragEnterEvent* Event) {
    if (!DroppedSystem(Event->mimeData()).isEmpty() && !FBusy)
        Event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* Event) {
    const QString Path = DroppedSystem(Event->mimeData());
    if (Path.isEmpty() || FBusy)
        return;
    Event->acceptProposedAction();
    // After the drop has ended: the save prompt is a modal box.
    QTimer::singleShot(0, this, [this, Path] { OpenWithPrompt(Path); });
}

QString TfrmMain::DroppedSystem(const QMimeData* Data) {
    if (Data == nullptr || !Data->hasUrls() || Data->urls().size() != 1)
        return {};
    const QUrl Url = Data->urls().front();
    if (!Url.isLocalFile() || !IsSystemFileName(Url.toLocalFile().toStdString()))
        return {};
    return Url.toLocalFile();
}

void TfrmMain::FileSave() {
    Doc.Save(*Ui);
    Box->Refresh();
}

void TfrmMain::FileSaveAs() {
    Doc.SaveAs(*Ui);
    Box->Refresh();
}

namespace {

// The import's questions asked with the window's boxes.
class TDxfUi final : public TDxfImportUi {
public:
    explicit TDxfUi(TMessages& M) : Msg(M) {}
    std::optional<TDxfUnits> AskUnits() override {
        static const TDxfUnits Units[] = {TDxfUnits::Millimetres, TDxfUnits::Centimetres,
                                          TDxfUnits::Metres, TDxfUnits::Inches};
        const int I = Msg.AskChoice(U("В чертеже не указаны единицы длины.\rВ каких единицах он "
                                      "выполнен?"),
                                    {U("миллиметры"), U("сантиметры"), U("метры"), U("дюймы")});
        if (I < 0)
            return std::nullopt;
        return Units[I];
    }
    bool ConfirmOpenChains(const std::string& Text) override {
        return Msg.AskYesNo(QString::fromStdString(Text)) == TMsgAnswer::Yes;
    }
    void ShowMessage(const std::string& Text) override { Msg.Show(QString::fromStdString(Text)); }

private:
    TMessages& Msg;
};

TFileDialogInfo DxfDialog(const char* Title, const std::filesystem::path& Initial) {
    return {U(Title), U("Чертежи DXF (*.dxf)"), QStringLiteral("dxf"),
            QString::fromStdString(Initial.string())};
}

} // namespace

void TfrmMain::ImportDxf() {
    const QString Name = Msg.OpenFileName(DxfDialog("Импорт DXF", Doc.WorkDir()));
    if (Name.isEmpty())
        return;
    // The drawing joins the system being edited.
    if (Doc.Mode() != TMode::mdEdit)
        SwitchMode(TMode::mdEdit);
    if (Doc.Mode() != TMode::mdEdit)
        return;
    TDxfUi DxfUi(Msg);
    if (ImportDxfIntoDocument(Doc, Name.toStdString(), DxfUi)) {
        Props->FillPropertyWindows();
        UpdateEditCommands();
    }
    Box->Refresh();
}

void TfrmMain::ExportDxf() {
    std::filesystem::path Initial = Doc.FilePath();
    Initial.replace_extension(".dxf");
    const QString Name = Msg.SaveFileName(DxfDialog("Экспорт DXF", Initial));
    if (Name.isEmpty())
        return;
    TDxfUi DxfUi(Msg);
    ExportDocumentDxf(Doc, Name.toStdString(), DxfUi);
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
    // A running computation ends first; the window closes (with its question) after.
    if (FBusy) {
        CloseWanted = true;
        Doc.Solver().StopBuilding();
        if (Wizard->Running())
            Wizard->Stop();
        Event->ignore();
        return;
    }
    if (!Doc.CanClose(*Ui)) {
        Event->ignore();
        return;
    }
    for (QWidget* W : {Props->EdgeProp(), Props->CylProp(), Props->DiscreteProp()})
        W->hide();
    Event->accept();
}

// ---------------------------------------------------------------- modes and view

void TfrmMain::SwitchMode(TMode Target) {
    // A model the wizard cannot take is said when the wizard is opened.
    if (Doc.SwitchMode(Target, *Ui) && Target == TMode::mdCount)
        Wizard->Prepare(Doc.Canvas().Edges,
                        FrmDiscret->Settings().value_or(TDiscretizationSettings{}));
    // The radio pair may have ticked itself on a refused switch.
    UpdateModeControls();
    UpdateEditCommands();
}

void TfrmMain::ChooseOptimalParams() {
    const TPointMarker Marker{&Doc.Canvas(), [this] { Box->Redraw(); }};
    // The formulas name the objects (Точка5, Отсос1): the canvas names them meanwhile.
    TEdgesCanvas& C = Doc.Canvas();
    const bool NamesShown = C.ShowNames;
    C.ShowNames = true;
    Box->Redraw();
    const std::optional<TEdges> Found = RunOptimisationWizard(
        *Wizard, Msg, Marker, QString::fromStdString(Doc.WorkDir().string()), this,
        TSearchHost{[this](bool On) { SetBusy(On); }, [this] { return CloseWanted; },
                    [this](const std::string& Path, const std::string& Text) {
                        Doc.SaveText(Path, Text);
                    }});
    C.ShowNames = NamesShown;
    Box->Redraw();
    if (!Found)
        return;
    SwitchMode(TMode::mdEdit);
    ApplyFoundModel(Doc, *Found);
    Box->Redraw();
}

void TfrmMain::Zoom(TZoom Kind) {
    Doc.Zoom(Kind);
    Box->Refresh();
}

void TfrmMain::SelectTool(TEditTool Tool) {
    TEdgesCanvas& C = Doc.Canvas();
    // The drawing tools keep a drawing in progress when pressed again.
    const bool Drawing = Tool == etClosedEdge || Tool == etSemiInfiniteEdge || Tool == etCylinder;
    if (!Drawing || C.Tool() != Tool) {
        C.CancelDrawing();
        C.SetTool(Tool);
    }
    Box->setCursor(Tool == etSelect ? Qt::ArrowCursor
                   : Tool == etPan  ? Qt::OpenHandCursor
                                    : Qt::CrossCursor);
    Box->Refresh();
    Box->setFocus();
}

void TfrmMain::CanvasMouseDown(TMouseButton Button, int X, int Y) {
    const TEdgesCanvas& C = Doc.Canvas();
    auto Down = [this](const char* Name) {
        const QAction* A = findChild<QAction*>(QLatin1String(Name));
        return A->isVisible() && A->isChecked();
    };
    if (Doc.Mode() == TMode::mdCount) {
        const TRealPoint P = C.ScreenToWorld({X, Y});
        if (Down("tbDiscr2")) {
            RefineCornerPress(X, Y);
            return;
        }
        if (Down("tbFlowLine")) {
            FrmFlowLine->SetStart(P);
            FrmFlowLine->exec();
            Box->Redraw();
        } else if (Down("tbSpeed")) {
            TRealPoint V;
            bool Ok = false;
            {
                // The first velocity solves the system: busy, pumped, stopped by Esc.
                const TRunScope Scope(*RunContext);
                Ok = RunReported(Msg, [&] { V = Doc.VelocityAt(P); });
            }
            if (Ok)
                Msg.Show(VelocityMessage(P, V));
        }
    }
    if (Button != TMouseButton::mbRight || Doc.Mode() != TMode::mdEdit || C.Tool() != etSelect)
        return;
    const TEditCommands Cmd = Doc.EditCommands();
    if (!Cmd.Delete)
        return;
    UpdateEditCommands();
    pmEdges->popup(Box->mapToGlobal(QPoint(X, Y)));
}

void TfrmMain::CanvasMouseMove(int X, int Y) {
    const TRealPoint P = Doc.Canvas().ScreenToWorld({X, Y});
    // A button's hint left standing hides the mode and the coordinates.
    statusBar()->clearMessage();
    sbCoords->setText(QLatin1Char(' ') + NumberText(P.X) + QLatin1Char(';') + NumberText(P.Y));
    if (CornerPlaced) {
        DrawBand(); // the old band goes
        Corner2 = {X, Y};
        DrawBand();
        Box->Refresh();
    }
}

// ---------------------------------------------------------------- the doubling rectangle

void TfrmMain::DrawBand() {
    TDrawSurface* S = Doc.Canvas().ScreenCanvas();
    if (S == nullptr)
        return;
    S->SetPenMode(TPenMode::pmNotXor);
    S->SetPenStyle(TPenStyle::psSolid);
    S->SetPenWidth(1);
    S->SetPenColor(0xFFFF00); // aqua: blue and green
    const TPixel Band[] = {
        Corner1, {Corner2.X, Corner1.Y}, Corner2, {Corner1.X, Corner2.Y}, Corner1};
    S->Polyline(Band);
    S->SetPenMode(TPenMode::pmCopy);
}

void TfrmMain::RefineCornerPress(int X, int Y) {
    if (!CornerPlaced) {
        Corner1 = Corner2 = {X, Y};
        CornerPlaced = true;
        DrawBand();
        Box->Refresh();
        return;
    }
    CornerPlaced = false;
    Corner2 = {X, Y};
    Box->Redraw();
    const TEdgesCanvas& C = Doc.Canvas();
    const TRealPoint P1 = C.ScreenToWorld(Corner1);
    const TRealPoint P2 = C.ScreenToWorld(Corner2);
    std::optional<std::string> Notice;
    if (RunReported(Msg, [&] { Notice = Doc.RefineInRect(P1, P2); }) && Notice)
        Msg.Show(QString::fromStdString(*Notice), TMsgIcon::Warning);
    Box->Redraw();
    ShowElementCount();
}

void TfrmMain::CanvasKeyDown(int Key) {
    if (Key != vkEscape || !CornerPlaced)
        return;
    CornerPlaced = false;
    Box->Redraw();
}

void TfrmMain::CanvasDoubleClick() {
    const TEdgesCanvas& C = Doc.Canvas();
    if (Doc.Mode() != TMode::mdEdit || C.Tool() != etSelect || C.SelKind() == skNone)
        return;
    ToggleToolWindow(C.SelKind() == skCylinder ? Props->CylProp() : Props->EdgeProp(), true);
}

// ---------------------------------------------------------------- tool windows

void TfrmMain::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (ToolWindowsPlaced)
        return;
    ToolWindowsPlaced = true;
    // Shown first: a window's size settles when it is shown.
    for (QWidget* W : {Props->EdgeProp(), Props->CylProp(), Props->DiscreteProp()})
        W->show();
    PlaceToolWindows();
    UpdateWindowTicks();
}

int TfrmMain::PlaceToolWindows() {
    const QScreen* S = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (S == nullptr)
        return 0;
    // One column down the right edge of the screen, 2 pixels in: the segment window at
    // 69, the cylinder window at 290 and the segment's discretisation below, each below
    // the one before. On a short screen the lower ones move up over the upper ones
    // rather than out of the screen or over the drawing.
    const QRect Area = S->availableGeometry();
    const int Wanted[] = {69, 290, 575};
    int Next = Area.top();
    int ColumnLeft = Area.right();
    int I = 0;
    for (QWidget* W : {Props->EdgeProp(), Props->CylProp(), Props->DiscreteProp()}) {
        W->adjustSize();
        const QSize F = W->frameGeometry().size();
        int Top = std::max(Next, Area.top() + Wanted[I++]);
        Top = std::max(Area.top(), std::min(Top, Area.bottom() + 1 - F.height()));
        const int Left = Area.right() + 1 - 2 - F.width();
        W->move(Left, Top);
        ColumnLeft = std::min(ColumnLeft, Left);
        Next = Top + F.height() + 4;
    }
    return ColumnLeft;
}

void TfrmMain::ShowBesideToolWindows() {
    const QScreen* S = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (S == nullptr) {
        showMaximized();
        return;
    }
    const QRect Area = S->availableGeometry();
    ToolWindowsPlaced = true;
    for (QWidget* W : {Props->EdgeProp(), Props->CylProp(), Props->DiscreteProp()})
        W->show();
    const int ColumnLeft = PlaceToolWindows();
    // The rest of the screen, left of the tool windows; the frame is known once shown.
    const QRect Wanted(Area.left(), Area.top(), std::max(320, ColumnLeft - 4 - Area.left()),
                       Area.height());
    setGeometry(Wanted);
    show();
    const QRect F = frameGeometry();
    const QRect G = geometry();
    setGeometry(Wanted.adjusted(G.left() - F.left(), G.top() - F.top(), G.right() - F.right(),
                                G.bottom() - F.bottom()));
    UpdateWindowTicks();
}

void TfrmMain::ToggleToolWindow(QWidget* W, bool Show) {
    if (Show) {
        W->show();
        W->raise();
    } else {
        W->hide();
    }
    UpdateWindowTicks();
}

// ---------------------------------------------------------------- editing commands

void TfrmMain::UndoEdit() {
    if (!Doc.Undo())
        return;
    Props->FillPropertyWindows();
    UpdateEditCommands();
    Box->Refresh();
}

void TfrmMain::RedoEdit() {
    if (!Doc.Redo())
        return;
    Props->FillPropertyWindows();
    UpdateEditCommands();
    Box->Refresh();
}

void TfrmMain::DeleteEdge() {
    Doc.Canvas().DeleteSelected();
    UpdateEditCommands();
    Box->Refresh();
}

void TfrmMain::InvertEdge() {
    if (!Doc.EditCommands().Invert)
        return;
    Doc.Canvas().InvertSelected();
    Doc.MarkChanged();
    Props->FillPropertyWindows();
    UpdateEditCommands();
    Box->Refresh();
}

void TfrmMain::AutoSpeed() {
    if (Doc.AutoSelectSpeed())
        Props->FillPropertyWindows();
    Box->Refresh();
}

void TfrmMain::ConvertArc() {
    if (!Doc.EditCommands().ConvertToArc)
        return;
    if (Props->ConvertToArc())
        AfterApply();
    Box->Refresh();
}

void TfrmMain::AfterApply() {
    Doc.MarkChanged();
    Box->Redraw();
    Props->FillPropertyWindows();
    UpdateEditCommands();
}

void TfrmMain::EditSettings() {
    if (!Props->EditSettings())
        return;
    Box->Redraw();
    try {
        WriteSettings(SettingsPath.string(), Doc.Canvas());
    } catch (const TKalvexError& E) {
        Msg.Show(QString::fromUtf8(E.what()), TMsgIcon::Error);
    }
}

void TfrmMain::Rotate() {
    if (const std::optional<double> Angle = Props->AskRotation()) {
        Doc.RotateCylinders(*Angle);
        Box->Refresh();
    }
}

// ---------------------------------------------------------------- modelling

bool TfrmMain::PrepareModelling() {
    if (Doc.LoadCompanion(*Ui))
        return true;
    return FrmDiscret->exec() == QDialog::Accepted;
}

void TfrmMain::ShowElementCount() {
    sbElements->setText(U(" Граничных элементов: ") + QString::number(Doc.ElementCount()));
}

void TfrmMain::Discretise() {
    if (FrmDiscret->exec() != QDialog::Accepted)
        return;
    ShowElementCount();
    Box->Redraw();
}

void TfrmMain::SaveResults(bool Picture) {
    const TFileDialogInfo Dialog{
        U("Сохранить результаты моделирования"),
        U(Picture ? "Метафайлы (*.wmf);;Метафайлы EMF (*.emf);;Рисунки PNG (*.png);;Рисунки SVG "
                    "(*.svg);;Документы PDF (*.pdf)"
                  : "Результаты моделирования (*.mod)"),
        QLatin1String(Picture ? "wmf" : "mod"),
        QString::fromStdString(Doc.ResultPath(Picture ? ".wmf" : ".mod").string())};
    const QString Name = Msg.SaveFileName(Dialog);
    if (Name.isEmpty())
        return;
    const std::string Path = Name.toStdString();
    TPictureOptions Options = PictureChoice;
    const TPictureFormat Format = PictureFormatOf(Path);
    if (Picture && (Format == TPictureFormat::Png || Format == TPictureFormat::Pdf)) {
        std::vector<std::uint8_t> Svg;
        if (!FrmPictureSize)
            FrmPictureSize = new TfrmPictureSize(Msg, this);
        if (!FrmPictureSize->Choose(Format, Doc.ResultsPicture(Svg), Options))
            return;
        PictureChoice = Options;
    }
    Options.Convert = QtConvertPicture;
    RunReported(Msg, [&] {
        if (Picture)
            Doc.SaveResultsPicture(Path, Options);
        else
            Doc.SaveResults(Path);
    });
}

// ---------------------------------------------------------------- printing

QPrinter& TfrmMain::PreparedPrinter() {
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Turned as the picture is, each time; the dialog lets the user turn it back.
    std::vector<std::uint8_t> Svg;
    FPrinter->setPageOrientation(WantsLandscape(Doc.ResultsPicture(Svg)) ? QPageLayout::Landscape
                                                                         : QPageLayout::Portrait);
    return *FPrinter;
}

void TfrmMain::Print() {
    QPrinter& Printer = PreparedPrinter();
    QPrintDialog Dialog(&Printer, this);
    if (Dialog.exec() == QDialog::Accepted)
        PrintPicture(Printer);
}

void TfrmMain::PrintPreview() {
    QPrintPreviewDialog Preview(&PreparedPrinter(), this);
    Preview.setObjectName(QStringLiteral("frmPrintPreview"));
    connect(&Preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* Printer) { PrintPicture(*Printer); });
    Preview.exec();
}

bool TfrmMain::PrintPicture(QPrinter& Printer) {
    std::vector<std::uint8_t> Svg;
    const TPictureSize Size = Doc.ResultsPicture(Svg);
    // The layout keeps its own margins, from the sheet's edge.
    Printer.setFullPage(true);
    QPainter Painter;
    if (!Painter.begin(&Printer)) {
        Msg.Show(U("Не удалось начать печать"), TMsgIcon::Warning);
        return false;
    }
    const QRectF Sheet = Printer.pageLayout().fullRect(QPageLayout::Millimeter);
    const QString Caption = QString::fromStdString(Doc.FileName()) + QStringLiteral(" — ") +
                            QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    const bool Drawn = PaintPictureOnPage(Painter, Printer.resolution() / 25.4, Svg, Size,
                                          {Sheet.width(), Sheet.height()}, Caption);
    Painter.end();
    if (!Drawn)
        Msg.Show(U("Не удалось создать рисунок"), TMsgIcon::Warning);
    return Drawn;
}

void TfrmMain::RotateBack() {
    RunReported(Msg, [this] { Doc.RotateBack(); });
    Box->Redraw();
}

void TfrmMain::SetBusy(bool On) {
    FBusy = On;
    if (On) {
        BusyDisabled.clear();
        for (QAction* A : findChildren<QAction*>(Qt::FindDirectChildrenOnly))
            if (A->isEnabled()) {
                A->setEnabled(false);
                BusyDisabled << A;
            }
    } else {
        for (QAction* A : std::as_const(BusyDisabled))
            A->setEnabled(true);
        BusyDisabled.clear();
    }
    StopKey->setEnabled(On);
    for (QWidget* W : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(FileBar),
                       static_cast<QWidget*>(BasicBar), static_cast<QWidget*>(Box),
                       Props->EdgeProp(), Props->CylProp(), Props->DiscreteProp()})
        W->setEnabled(!On);
    if (!On && CloseWanted) {
        CloseWanted = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

// ---------------------------------------------------------------- help

void TfrmMain::ShowHelp() {
    const QString Guide = GuidePath();
    if (Guide.isEmpty()) {
        Msg.Show(QString::fromUtf8("Руководство пользователя не найдено."), TMsgIcon::Warning);
        return;
    }
    const QUrl Url = QUrl::fromLocalFile(Guide);
    const bool Opened = UrlOpener ? UrlOpener(Url) : QDesktopServices::openUrl(Url);
    if (!Opened)
        Msg.Show(QString::fromUtf8("Не удалось открыть руководство пользователя в программе "
                                   "просмотра.\rОно находится в файле ") +
                     QDir::toNativeSeparators(Guide),
                 TMsgIcon::Warning);
}

void TfrmMain::ShowAbout() {
    TfrmAbout About(this);
    About.exec();
}

} // namespace kalvex
