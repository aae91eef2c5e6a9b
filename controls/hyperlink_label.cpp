#include "controls/hyperlink_label.h"

#include "platform/message_boxes.h"

#include <QMouseEvent>
#include <QPainter>

LinkTexts ResolveLinkTexts(const QString& text, const QString& address) {
    LinkTexts t{text, address};
    if (t.address.isEmpty()) t.address = t.text;
    if (t.text.isEmpty()) t.text = t.address;
    return t;
}

QColor LinkColour(bool hovered, bool visited, QColor link, QColor visitedColour, QColor hover) {
    if (hovered) return hover;
    return visited ? visitedColour : link;
}

bool LinkUnderlined(int underline, bool hovered) {
    return underline == LINK_UNDERLINE_ALWAYS || (underline == LINK_UNDERLINE_HOVER && hovered);
}

QRect FitLinkRect(QRect current, QSize textSize, Qt::Alignment alignment) {
    QRect r(current.topLeft(), textSize);
    if (alignment & Qt::AlignRight)
        r.moveRight(current.right());
    else if (alignment & Qt::AlignHCenter)
        r.moveLeft(current.left() + (current.width() - textSize.width()) / 2);
    if (alignment & Qt::AlignVCenter)
        r.moveTop(current.top() + (current.height() - textSize.height()) / 2);
    return r;
}

CHyperLinkLabel::CHyperLinkLabel(QWidget* parent) : CHyperLinkLabel(QString(), parent) {}

CHyperLinkLabel::CHyperLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setMouseTracking(true);
    m_hoverTimer.setInterval(kHoverTimerMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CHyperLinkLabel::HoverTick);
}

void CHyperLinkLabel::SetUp() {
    m_setUp = true;
    LinkTexts t = ResolveLinkTexts(text(), m_address);
    m_address = t.address;
    if (text() != t.text) setText(t.text);
    UseFont(LinkUnderlined(m_underline, m_hovered));
    Fit();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_address);
}

void CHyperLinkLabel::SetURL(const QString& address) {
    m_address = address;
    if (m_setUp) {
        Fit();
        setToolTip(m_address);
    }
}

void CHyperLinkLabel::SetUnderline(int underline) {
    if (underline == m_underline) return;
    m_underline = underline;
    UseFont(LinkUnderlined(m_underline, m_hovered));
    update();
}

void CHyperLinkLabel::SetAutoSize(bool adjustToFit) {
    m_adjustToFit = adjustToFit;
    if (m_setUp) Fit();
}

void CHyperLinkLabel::SetColours(QColor link, QColor visited, QColor hover) {
    m_link = link;
    m_visitedColour = visited;
    m_hover = hover;
    update();
}

void CHyperLinkLabel::SetVisited(bool visited) {
    m_visited = visited;
    update();
}

QColor CHyperLinkLabel::CurrentColour() const {
    return LinkColour(m_hovered, m_visited, m_link, m_visitedColour, m_hover);
}

void CHyperLinkLabel::UseFont(bool underlined) {
    m_underlinedNow = underlined;
    update();
}

// Measured with the underlined font, which is never narrower than the plain one.
void CHyperLinkLabel::Fit() {
    if (!m_adjustToFit) return;
    QFont underlined = font();
    underlined.setUnderline(true);
    QFontMetrics metrics(underlined);
    int frame = 2 * frameWidth();
    QSize size(metrics.horizontalAdvance(text()) + frame + 1, metrics.height() + frame);
    QRect place = FitLinkRect(geometry(), size, alignment());
    setMinimumSize(0, 0);
    setGeometry(place);
}

std::intptr_t CHyperLinkLabel::OpenUrl(const QString& address, int showCommand) {
    return controls::OpenUrl(m_form, address.toStdString(), showCommand);
}

void CHyperLinkLabel::ReportOpenError(std::intptr_t code) {
    platform::GetMessageBoxes().Show(controls::OpenErrorText(code), "",
                                     platform::MB_OK | platform::MB_ICONWARNING);
}

void CHyperLinkLabel::OnClicked() {
    m_hovered = false;
    m_hoverTimer.stop();
    UseFont(LinkUnderlined(m_underline, false));
    std::intptr_t result = OpenUrl(m_address, controls::SW_SHOWNORMAL);
    m_visited = result > 32;
    update();
    if (!m_visited) {
        platform::GetMessageBoxes().Beep(platform::MB_ICONWARNING);
        ReportOpenError(result);
    }
}

void CHyperLinkLabel::HoverTick() {
    if (underMouse()) return;
    m_hovered = false;
    m_hoverTimer.stop();
    UseFont(m_underline == LINK_UNDERLINE_ALWAYS);
    update();
}

void CHyperLinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont f = font();
    f.setUnderline(m_underlinedNow);
    painter.setFont(f);
    painter.setPen(CurrentColour());
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

void CHyperLinkLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_hovered) {
        m_hovered = true;
        if (m_underline == LINK_UNDERLINE_HOVER) UseFont(true);
        update();
        m_hoverTimer.start();
    }
    QLabel::mouseMoveEvent(event);
}

void CHyperLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OnClicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLinkLabel::showEvent(QShowEvent* event) {
    if (!m_setUp) SetUp();
    QLabel::showEvent(event);
}
