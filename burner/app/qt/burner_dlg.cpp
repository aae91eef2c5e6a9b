#include "burner/app/qt/burner_dlg.h"

#include "burner/app/qt/about_dlg.h"
#include "burner/app/qt/check_windows.h"
#include "burner/app/qt/invalid_file_dlg.h"
#include "burner/app/qt/size_bar_setup.h"
#include "controls/art_resources.h"
#include "controls/file_dialog_ex.h"
#include "controls/icon_button.h"
#include "skin/skin_engine.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Dialog units of the template's font (Arial 9) in pixels.
int DluX(const QFontMetrics& fm, int units) {
    return units * fm.averageCharWidth() / 4;
}
int DluY(const QFontMetrics& fm, int units) {
    return units * fm.height() / 8;
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

SizeBarSetup SetupOf(const SizeRangeScale& scale) {
    SizeBarSetup s;
    s.max = scale.Max();
    s.minorStep = scale.MinorStep();
    s.labelStep = scale.LabelStep();
    s.unit = scale.Unit();
    for (const SizeRangeScale::Marker& m : scale.Markers())
        s.markers.push_back({m.position, m.colour.r, m.colour.g, m.colour.b, m.solid});
    for (const SizeRangeScale::Band& b : scale.Bands())
        s.bands.push_back({b.from, b.colour.r, b.colour.g, b.colour.b, 0});
    s.value = scale.GetValue();
    return s;
}

std::vector<std::string> LocalPaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

} // namespace

CBurnerDlg::CBurnerDlg(BurnerDlgServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)) {
    setObjectName("102");
    QFont font("Arial", 9);
    setFont(font);
    setWindowIcon(controls::LoadIconResource(128));
    setAcceptDrops(true);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);

    CBurnerDlgLogic::Services logic{
        m_services.discMode, m_services.title,     *this,
        m_services.boxes,    m_services.shell,     m_services.cdEngine,
        m_services.mpgtx,    m_services.appFolder, platform::FindMediaPlayer};
    if (m_services.findPlayer) logic.findPlayer = m_services.findPlayer;
    m_logic = std::make_unique<CBurnerDlgLogic>(std::move(logic));
    m_logic->AttachLoop(&m_services.loop);

    BuildControls();
    BuildMenu();
    skin::SetWindowSkin(this, "Dialog");
    skin::SetDialogSkinName("Dialog");
    m_scanWnd = new CScanningWnd(this);
    m_loadWnd = new CLoadingWnd(this);
    setWindowTitle(Text(m_services.title));

    m_logic->OnInitDialog();
    Render();
}

CBurnerDlg::~CBurnerDlg() {
    m_closing = true;
    // The logic takes the scan events back from the engine before the widgets go.
    m_logic.reset();
}

CIconButton* CBurnerDlg::MakeButton(int id, const char* caption, int icon, const char* tooltip,
                                    void (CBurnerDlgLogic::*command)()) {
    auto* button =
        caption ? new CIconButton(QString::fromUtf8(caption), this) : new CIconButton(this);
    button->setObjectName(QString::number(id));
    button->SetIcon(icon);
    button->SetTooltipText(QString::fromUtf8(tooltip));
    button->SetAlign(caption ? 1 : 0);
    button->DrawTransparent();
    button->setAutoDefault(false);
    button->setDefault(false);
    if (command)
        connect(button, &QPushButton::clicked, this, [this, command] {
            (m_logic.get()->*command)();
            Render();
        });
    return button;
}

void CBurnerDlg::BuildControls() {
    const QFontMetrics fm(font());

    auto* top = new QHBoxLayout;
    top->addWidget(MakeButton(1000, "Add Files", 131, "Add MPEG files to list.",
                              &CBurnerDlgLogic::OnAddFiles));
    top->addWidget(MakeButton(1001, "Remove", 132, "Remove the selected mpeg file from list.",
                              &CBurnerDlgLogic::OnRemove));
    CIconButton* burn = MakeButton(1002, "Burn", 133, "Start Burning...", nullptr);
    connect(burn, &QPushButton::clicked, this, [this] {
        m_logic->OnBurn();
        if (!m_closing) Render();
    });
    top->addWidget(burn);
    top->addWidget(MakeButton(1003, "About", 134, "About", &CBurnerDlgLogic::OnAbout));
    top->addWidget(MakeButton(1004, "Home", 135, "Visit our homepage.", &CBurnerDlgLogic::OnHome));
    top->addWidget(MakeButton(1005, "Help", 136, "Help Content", &CBurnerDlgLogic::OnHelp));
    m_btnToolkit = MakeButton(1009, "Toolkit", 148, "Utilities", nullptr);
    m_btnToolkit->hide();
    top->addWidget(m_btnToolkit);
    top->addStretch(1);
    CIconButton* exitButton = MakeButton(1006, "Exit", 137, "Exit", nullptr);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
    top->addWidget(exitButton);

    m_discType = new QLabel(this);
    m_discType->setObjectName("1017");
    m_hint = new QLabel(this);
    m_hint->setObjectName("1018");
    auto* texts = new QHBoxLayout;
    texts->addWidget(m_discType);
    texts->addWidget(m_hint, 1);

    m_list = new QTableWidget(0, 5, this);
    m_list->setObjectName("1007");
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setSortingEnabled(false);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setSectionsClickable(false);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    // The current row stays visible when the list loses the focus.
    QPalette palette = m_list->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_list->setPalette(palette);
    const std::vector<MpegListColumn> columns = MpegListColumns(m_services.discMode);
    for (int i = 0; i < static_cast<int>(columns.size()) && i < 5; ++i) {
        auto* header = new QTableWidgetItem(QString::fromUtf8(columns[i].header));
        header->setTextAlignment(Qt::AlignCenter);
        m_list->setHorizontalHeaderItem(i, header);
        m_list->setColumnWidth(i, columns[i].width);
    }
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        ShowListMenu(RowAt(pos), m_list->viewport()->mapToGlobal(pos));
    });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] {
        if (m_rendering) return;
        QList<QTableWidgetItem*> selected = m_list->selectedItems();
        m_logic->OnListSelectionChanged(selected.isEmpty() ? -1 : selected.front()->row());
    });

    auto* side = new QVBoxLayout;
    side->addWidget(
        MakeButton(1011, nullptr, 138, "Add MPEG files to list.", &CBurnerDlgLogic::OnAddFiles));
    side->addWidget(MakeButton(1012, nullptr, 139, "Remove the selected file from list.",
                               &CBurnerDlgLogic::OnRemove));
    side->addWidget(MakeButton(1013, nullptr, 143, "Remove all files from list.",
                               &CBurnerDlgLogic::OnRemoveAll));
    side->addWidget(
        MakeButton(1014, nullptr, 140, "Play the selected file.", &CBurnerDlgLogic::OnPlay));
    side->addWidget(MakeButton(1015, nullptr, 142, "Make the selected mpeg file up. ",
                               &CBurnerDlgLogic::OnMoveUp));
    side->addWidget(MakeButton(1016, nullptr, 141, "Make the selected mpeg file down.",
                               &CBurnerDlgLogic::OnMoveDown));
    side->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_list, 1);
    middle->addLayout(side);

    m_sizeBar = MakeSizeBar(this);
    m_sizeBar->setObjectName("1008");
    m_sizeBar->setFixedHeight(DluY(fm, 22));
    m_totals = new QLabel(this);
    m_totals->setObjectName("1019");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(texts);
    layout->addLayout(middle, 1);
    layout->addWidget(m_sizeBar);
    layout->addWidget(m_totals);
    // The template's size, widened where the list's fixed column widths need more.
    int columnsWidth = 0;
    for (int i = 0; i < m_list->columnCount(); ++i)
        columnsWidth += m_list->columnWidth(i);
    resize(std::max(DluX(fm, 422), columnsWidth + DluX(fm, 40)), DluY(fm, 265));
}

void CBurnerDlg::BuildMenu() {
    m_menu = new QMenu(this);
    m_menu->setObjectName("menu");
    auto add = [this](int id, const char* text, void (CBurnerDlgLogic::*command)()) {
        QAction* action = m_menu->addAction(QString::fromUtf8(text));
        action->setObjectName(QString::number(id));
        connect(action, &QAction::triggered, this, [this, command] {
            (m_logic.get()->*command)();
            Render();
        });
        return action;
    };
    add(32771, "&Add Files", &CBurnerDlgLogic::OnAddFiles);
    m_actRemove = add(32773, "&Remove", &CBurnerDlgLogic::OnRemove);
    m_actRemoveAll = add(32774, "Remove All", &CBurnerDlgLogic::OnRemoveAll);
    m_actPlay = add(32775, "&Play", &CBurnerDlgLogic::OnPlay);
    m_menu->addSeparator();
    m_actMoveUp = add(32777, "Move &Up", &CBurnerDlgLogic::OnMoveUp);
    m_actMoveDown = add(32778, "Move &Down", &CBurnerDlgLogic::OnMoveDown);
}

void CBurnerDlg::ShowListMenu(int row, const QPoint& globalPos) {
    MpegListMenuState state = m_logic->OnListContextMenu(row);
    Render();
    m_actPlay->setEnabled(state.play);
    m_actRemove->setEnabled(state.remove);
    m_actRemoveAll->setEnabled(state.removeAll);
    m_actMoveUp->setEnabled(state.moveUp);
    m_actMoveDown->setEnabled(state.moveDown);
    if (m_services.runMenu)
        m_services.runMenu(*m_menu, globalPos);
    else
        m_menu->exec(globalPos);
}

int CBurnerDlg::RowAt(const QPoint& viewportPos) const {
    QModelIndex index = m_list->indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

bool CBurnerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        m_logic->OnDeleteKey();
        Render();
        return true;
    }
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_logic->OnListClick(RowAt(mouse->position().toPoint()));
            Render();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CBurnerDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void CBurnerDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = LocalPaths(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    m_logic->OnDropFiles(paths);
    Render();
}

void CBurnerDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Every repaint of the main window also repaints the bar.
    if (m_sizeBar) m_sizeBar->update();
}

void CBurnerDlg::Render() {
    if (!m_logic || m_closing) return;
    m_rendering = true;
    const BurnerDlgView view = m_logic->View();
    setWindowTitle(Text(view.caption));
    m_discType->setText(Text(view.discTypeText));
    m_hint->setText(Text(view.hintText));
    m_totals->setText(Text(view.totalsText));
    RenderRows();
    RenderSelection();
    ApplySizeBarSetup(*m_sizeBar, SetupOf(m_logic->Bar()));
    if (isVisible()) {
        ShowCentredOver(*m_scanWnd, *this, view.checkWindows.scanVisible);
        ShowCentredOver(*m_loadWnd, *this, view.checkWindows.loadVisible);
    }
    m_scanWnd->SetPercent(view.checkWindows.scanPercent);
    m_rendering = false;
}

void CBurnerDlg::RenderRows() {
    const std::vector<MpegFileEntry>& rows = m_logic->List().Rows();
    if (m_list->rowCount() != static_cast<int>(rows.size()))
        m_list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < 5; ++c) {
            const QString text = Text(rows[r].text[c]);
            QTableWidgetItem* item = m_list->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                m_list->setItem(r, c, item);
            }
            if (item->text() != text) {
                item->setText(text);
                item->setToolTip(text); // the info tip of a cut-off text
            }
        }
    }
}

void CBurnerDlg::RenderSelection() {
    const int row = m_logic->List().ListSelection();
    if (row < 0 || row >= m_list->rowCount()) {
        if (!m_list->selectedItems().isEmpty()) m_list->clearSelection();
        return;
    }
    QList<QTableWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty() || selected.front()->row() != row) {
        m_list->setCurrentCell(row, 0);
        m_list->selectRow(row);
    }
    m_list->scrollToItem(m_list->item(row, 0));
}

std::vector<std::string> CBurnerDlg::ChooseFiles(const FileOpenRequest& request) {
    if (m_services.chooseFiles) return m_services.chooseFiles(this, request);
    unsigned flags = OFN_HIDEREADONLY;
    if (request.multiple) flags |= OFN_ALLOWMULTISELECT;
    if (request.mustExist) flags |= OFN_FILEMUSTEXIST;
    CFileDialogEx dialog(true, QString(), QString(), flags, Text(request.filter), this);
    dialog.SetTitle(Text(request.title));
    std::vector<std::string> paths;
    if (dialog.DoModal() != platform::IDOK) return paths;
    for (const QString& path : dialog.GetPathNames())
        paths.push_back(path.toStdString());
    return paths;
}

void CBurnerDlg::RunModal(QDialog& dialog) {
    if (m_services.runModal)
        m_services.runModal(dialog);
    else
        dialog.exec();
}

void CBurnerDlg::ShowInvalidFile(const InvalidFileView& view) {
    Render(); // the scanning window is hidden before the dialog shows
    CInvalidFileDlg dialog(view, this);
    RunModal(dialog);
}

bool CBurnerDlg::RunStartBurning() {
    if (!m_services.startBurning) return false;
    return m_services.startBurning(this, m_logic->GetListPaths());
}

void CBurnerDlg::RunAbout(const AboutView& view) {
    CAboutDlg dialog(view, this);
    RunModal(dialog);
}

void CBurnerDlg::CloseDialog() {
    m_scanWnd->hide();
    m_loadWnd->hide();
    accept();
}

void CBurnerDlg::FocusList() {
    m_list->setFocus();
}
