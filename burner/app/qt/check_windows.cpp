#include "burner/app/qt/check_windows.h"

#include "burner/app/add_files_job.h"
#include "skin/skin_engine.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

// The windows take no part in the skin and answer every colour request with white.
void MakePlainWhite(QDialog& window) {
    window.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    skin::RemoveWindowSkin(&window);
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::white);
    window.setPalette(palette);
    // An application-wide style sheet would otherwise paint its own face.
    window.setStyleSheet("QDialog { background-color: white; }");
    window.setModal(false);
}

QLabel* AddText(QVBoxLayout& layout, QWidget* parent, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    layout.addWidget(label);
    return label;
}

} // namespace

CScanningWnd::CScanningWnd(QWidget* parent) : QDialog(parent) {
    setObjectName("144");
    MakePlainWhite(*this);
    auto* layout = new QVBoxLayout(this);
    AddText(*layout, this, kScanningText);
    AddText(*layout, this, kScanningWaitText);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("1013");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

void CScanningWnd::SetPercent(int percent) {
    if (m_progress->value() != percent) m_progress->setValue(percent);
}

int CScanningWnd::Percent() const {
    return m_progress->value();
}

CLoadingWnd::CLoadingWnd(QWidget* parent) : QDialog(parent) {
    setObjectName("153");
    MakePlainWhite(*this);
    auto* layout = new QVBoxLayout(this);
    AddText(*layout, this, kLoadingText);
    AddText(*layout, this, "")->setObjectName("1061");
    setFixedSize(sizeHint().expandedTo(QSize(220, 0)));
}

void ShowCentredOver(QWidget& window, const QWidget& main, bool visible) {
    if (!visible) {
        if (window.isVisible()) window.hide();
        return;
    }
    if (window.isVisible()) return;
    const QPoint origin = main.mapToGlobal(QPoint(0, 0));
    WindowOrigin at = CenterOver(origin.x(), origin.y(), main.width(), main.height(),
                                 window.width(), window.height());
    window.move(at.x, at.y);
    window.show();
}
