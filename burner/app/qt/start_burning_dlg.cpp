#include "burner/app/qt/start_burning_dlg.h"

#include "platform/drives.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kMaxLabelLength = 128;
// How often the window looks at the job besides after each input and message: the engines'
// events and the build's progress may change the view between them.
constexpr int kRenderPeriodMs = 100;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The bold copy of the dialog font, made once per process.
const QFont& BoldFont(const QFont& base) {
    static const QFont bold = [&] {
        QFont f = base;
        f.setWeight(QFont::Bold);
        return f;
    }();
    return bold;
}

QLabel* Text(QWidget* parent, int id, const char* text, bool bold) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::number(id));
    if (bold) label->setFont(BoldFont(parent->font()));
    return label;
}

template <typename W> W* Named(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

std::string ForDisplay(const std::string& log) {
    std::string out;
    out.reserve(log.size());
    for (char c : log)
        if (c != '\r') out += c;
    return out;
}

} // namespace

CStartBurningDlg::CStartBurningDlg(StartBurningServices services, platform::MessageLoop* loop,
                                   QWidget* parent)
    : QDialog(parent), job_(std::make_unique<CStartBurningJob>(std::move(services))), loop_(loop) {
    setWindowTitle("Start Burning");
    setFont(QFont("Arial", 9));
    BuildWidgets();
    job_->AttachLoop(loop_);
    if (auto* object = dynamic_cast<QObject*>(loop_)) object->installEventFilter(this);
    renderTimer_ = new QTimer(this);
    connect(renderTimer_, &QTimer::timeout, this, &CStartBurningDlg::Render);
    renderTimer_->start(kRenderPeriodMs);

    chooseFolder = [](QWidget* owner, const QString& current) {
        return QFileDialog::getExistingDirectory(owner, "Select output folder", current,
                                                 QFileDialog::ShowDirsOnly);
    };
}

CStartBurningDlg::~CStartBurningDlg() {
    if (auto* object = dynamic_cast<QObject*>(loop_)) object->removeEventFilter(this);
    // The job ends a build still running and removes the work folder.
    job_.reset();
}

void CStartBurningDlg::BuildWidgets() {
    auto* grid = new QGridLayout;
    int row = 0;

    grid->addWidget(Text(this, 1057, "Output Folder :", true), row, 0);
    outputEdit_ = Named(new QLineEdit(this), 1046);
    outputEdit_->setReadOnly(true);
    outputEdit_->setMaxLength(255);
    selectButton_ = Named(new QPushButton("Select", this), 1047);
    grid->addWidget(outputEdit_, row, 1, 1, 2);
    grid->addWidget(selectButton_, row++, 3);

    grid->addWidget(Text(this, 1043, "Temp Folder :", true), row, 0);
    tempDriveList_ = Named(new QComboBox(this), 1035);
    tempDriveList_->setEnabled(false);
    grid->addWidget(tempDriveList_, row++, 1, 1, 3);

    grid->addWidget(Text(this, 1048, "TV Type :", true), row, 0);
    ntsc_ = Named(new QRadioButton("NTSC", this), 1051);
    pal_ = Named(new QRadioButton("PAL", this), 1052);
    tvGroup_ = new QButtonGroup(this);
    tvGroup_->addButton(ntsc_, 0);
    tvGroup_->addButton(pal_, 1);
    grid->addWidget(ntsc_, row, 1);
    grid->addWidget(pal_, row++, 2);

    grid->addWidget(Text(this, 1049, "Aspect Ratio :", true), row, 0);
    standard_ = Named(new QRadioButton("4:3   (Standard TV)", this), 1053);
    wide_ = Named(new QRadioButton("16:9 (Wide Screen TV)", this), 1054);
    aspectGroup_ = new QButtonGroup(this);
    aspectGroup_->addButton(standard_, 0);
    aspectGroup_->addButton(wide_, 1);
    grid->addWidget(standard_, row, 1);
    grid->addWidget(wide_, row++, 2);

    grid->addWidget(Text(this, 1050, "Letter Box :", true), row, 0);
    letterBox_ = Named(new QCheckBox("Auto add letter box", this), 1055);
    letterBoxText_ = Text(this, 1059, "Add letter box to keep original image scale", false);
    grid->addWidget(letterBox_, row, 1);
    grid->addWidget(letterBoxText_, row++, 2, 1, 2);
    for (QWidget* w : {static_cast<QWidget*>(ntsc_), static_cast<QWidget*>(pal_),
                       static_cast<QWidget*>(standard_), static_cast<QWidget*>(wide_),
                       static_cast<QWidget*>(letterBox_), static_cast<QWidget*>(letterBoxText_)})
        w->setEnabled(false);

    grid->addWidget(Text(this, 1044, "Select Driver :", true), row, 0);
    writerList_ = Named(new QComboBox(this), 1020);
    grid->addWidget(writerList_, row++, 1, 1, 3);

    grid->addWidget(Text(this, 1045, "Disc Label :", true), row, 0);
    labelEdit_ = Named(new QLineEdit(this), 1023);
    labelEdit_->setMaxLength(kMaxLabelLength);
    grid->addWidget(labelEdit_, row++, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    logEdit_ = Named(new QPlainTextEdit(this), 1056);
    logEdit_->setReadOnly(true);
    logEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);

    progress_ = Named(new QProgressBar(this), 1028);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    prompt_ = Text(this, 1042, "", true);
    prompt_->setText(Q(job_->View().prompt));
    status_ = Text(this, 1032, "Burner Progress", true);
    elapsed_ = Text(this, 1058, "", true);
    elapsed_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    status_->hide();
    elapsed_->hide();

    startButton_ = Named(new QPushButton("Start", this), 1027);
    cancelButton_ = Named(new QPushButton("Cancel", this), 2);
    // Enter does nothing, so neither button is the default one.
    startButton_->setAutoDefault(false);
    cancelButton_->setAutoDefault(false);
    selectButton_->setAutoDefault(false);

    auto* texts = new QHBoxLayout;
    texts->addWidget(prompt_, 1);
    texts->addWidget(status_, 1);
    texts->addWidget(elapsed_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(startButton_);
    buttons->addWidget(cancelButton_);

    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addWidget(logEdit_, 1);
    main->addWidget(progress_);
    main->addLayout(texts);
    main->addLayout(buttons);
    // 330 x 240 dialog units of Arial 9.
    resize(500, 440);

    connect(selectButton_, &QPushButton::clicked, this, &CStartBurningDlg::OnSelect);
    connect(startButton_, &QPushButton::clicked, this, &CStartBurningDlg::OnStartClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &CStartBurningDlg::reject);
    connect(ntsc_, &QRadioButton::clicked, this, [this] {
        TakeValues();
        job_->OnTvType(0);
        Render();
    });
    connect(pal_, &QRadioButton::clicked, this, [this] {
        TakeValues();
        job_->OnTvType(1);
        Render();
    });
    connect(standard_, &QRadioButton::clicked, this, [this] {
        TakeValues();
        job_->OnAspect(0);
        Render();
    });
    connect(wide_, &QRadioButton::clicked, this, [this] {
        TakeValues();
        job_->OnAspect(1);
        Render();
    });
    connect(letterBox_, &QCheckBox::clicked, this, [this] {
        TakeValues();
        job_->OnLetterBox(job_->letterBox);
        Render();
    });
    connect(labelEdit_, &QLineEdit::textEdited, this,
            [this](const QString& text) { job_->label = text.toStdString(); });
    // Any change of the lists' selection but the window's own showing of the job's values.
    connect(writerList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!rendering_) job_->writers.SetCurSel(index);
    });
    connect(tempDriveList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!rendering_) job_->tempDrives.selected = index;
    });
}

void CStartBurningDlg::InitDialog(const std::vector<platform::Drive>& drives) {
    job_->OnInitDialog(drives);
    Render();
}

void CStartBurningDlg::TakeValues() {
    job_->label = labelEdit_->text().toStdString();
    job_->writers.SetCurSel(writerList_->currentIndex());
    job_->tempDrives.selected = tempDriveList_->currentIndex();
    if (ntsc_->isEnabled()) {
        job_->tvType = tvGroup_->checkedId();
        job_->aspect = aspectGroup_->checkedId();
        job_->letterBox = letterBox_->isChecked();
    }
}

void CStartBurningDlg::OnSelect() {
    TakeValues();
    QString folder = chooseFolder(this, outputEdit_->text());
    if (!folder.isEmpty()) job_->OnOutputFolderChosen(folder.toStdString());
    Render();
}

void CStartBurningDlg::OnStartClicked() {
    TakeValues();
    job_->OnStart();
    Render();
}

void CStartBurningDlg::reject() {
    // Cancel is disabled while a job runs; a build or a multiplexing run still going on keeps
    // the window (and the job it writes into) alive until it has ended.
    if (!job_->View().cancelEnabled || !job_->CanClose()) return;
    QDialog::reject();
}

void CStartBurningDlg::closeEvent(QCloseEvent* event) {
    if (!job_->View().cancelEnabled || !job_->CanClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool CStartBurningDlg::eventFilter(QObject* watched, QEvent* event) {
    // The loop delivers the job's messages as user events; show their outcome right after.
    if (event->type() >= QEvent::User && !renderQueued_) {
        renderQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                renderQueued_ = false;
                Render();
            },
            Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void CStartBurningDlg::ShowCombo(QComboBox* combo, const std::vector<std::string>& rows,
                                 int selected) {
    bool same = combo->count() == static_cast<int>(rows.size());
    for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == Q(rows[i]);
    if (!same) {
        combo->clear();
        for (const std::string& row : rows)
            combo->addItem(Q(row));
    }
    if (combo->currentIndex() != selected) combo->setCurrentIndex(selected);
}

void CStartBurningDlg::ShowRadios(QButtonGroup* group, int value) {
    if (group->checkedId() == value) return;
    if (value < 0) {
        // An exclusive group cannot show "none" otherwise.
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons())
            b->setChecked(false);
        group->setExclusive(true);
    } else if (QAbstractButton* b = group->button(value)) {
        b->setChecked(true);
    }
}

void CStartBurningDlg::ShowLog(const std::string& log) {
    if (log == shownLog_) return;
    std::string text = ForDisplay(log);
    if (!shownLog_.empty() && log.compare(0, shownLog_.size(), shownLog_) == 0) {
        // Lines only came on: append them instead of laying out the whole log again.
        std::string added = ForDisplay(log.substr(shownLog_.size()));
        if (!added.empty() && added.back() == '\n') added.pop_back();
        logEdit_->appendPlainText(Q(added));
    } else {
        if (!text.empty() && text.back() == '\n') text.pop_back();
        logEdit_->setPlainText(Q(text));
    }
    shownLog_ = log;
    // The last line stays in sight.
    logEdit_->verticalScrollBar()->setValue(logEdit_->verticalScrollBar()->maximum());
}

void CStartBurningDlg::Render() {
    const BurnJobView& v = job_->View();
    rendering_ = true;
    auto setText = [](auto* w, const std::string& text) {
        QString q = Q(text);
        if (w->text() != q) w->setText(q);
    };
    setText(startButton_, v.startCaption);
    startButton_->setEnabled(v.startEnabled);
    setText(cancelButton_, v.cancelCaption);
    cancelButton_->setEnabled(v.cancelEnabled);

    outputEdit_->setEnabled(v.outputFolderEnabled);
    selectButton_->setEnabled(v.outputFolderEnabled);
    tempDriveList_->setEnabled(v.tempDriveEnabled);
    for (QWidget* w : {static_cast<QWidget*>(ntsc_), static_cast<QWidget*>(pal_),
                       static_cast<QWidget*>(standard_), static_cast<QWidget*>(wide_),
                       static_cast<QWidget*>(letterBox_), static_cast<QWidget*>(letterBoxText_)})
        w->setEnabled(v.dvdOptionsEnabled);
    writerList_->setEnabled(v.writerListEnabled);
    labelEdit_->setEnabled(v.labelEnabled);

    setText(outputEdit_, job_->outputFolder);
    if (labelEdit_->text() != Q(job_->label)) labelEdit_->setText(Q(job_->label));
    ShowCombo(writerList_, job_->writers.rows, job_->writers.selected);
    ShowCombo(tempDriveList_, job_->tempDrives.entries, job_->tempDrives.selected);
    ShowRadios(tvGroup_, job_->tvType);
    ShowRadios(aspectGroup_, job_->aspect);
    if (letterBox_->isChecked() != job_->letterBox) letterBox_->setChecked(job_->letterBox);

    setText(prompt_, v.prompt);
    prompt_->setVisible(v.promptVisible);
    setText(status_, v.status);
    status_->setVisible(v.statusVisible);
    setText(elapsed_, v.elapsed);
    elapsed_->setVisible(v.elapsedVisible);
    if (progress_->value() != v.bar) progress_->setValue(std::clamp(v.bar, 0, 100));
    ShowLog(v.log);
    rendering_ = false;
}
