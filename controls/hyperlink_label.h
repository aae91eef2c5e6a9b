// A static text that acts as a web or mail link: link, visited and hover colours, an underline
// rule, a hand cursor and the address as its tooltip. A click opens the address; a failed open
// beeps and says why.
#pragma once

#include "controls/open_url.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>

enum { LINK_UNDERLINE_HOVER = -1, LINK_UNDERLINE_NEVER = 0, LINK_UNDERLINE_ALWAYS = 1 };

// Text and address after set-up: an empty one takes the other.
struct LinkTexts {
    QString text;
    QString address;
};
LinkTexts ResolveLinkTexts(const QString& text, const QString& address);

// Hover colour while hovered, else visited colour once visited, else link colour.
QColor LinkColour(bool hovered, bool visited, QColor link, QColor visitedColour, QColor hover);
bool LinkUnderlined(int underline, bool hovered);

// The control's new place for a text of textSize (frame included): right-aligned statics keep
// their right edge, centred ones their centre, others their left edge; vertically centred ones
// keep their middle, others their top.
QRect FitLinkRect(QRect current, QSize textSize, Qt::Alignment alignment);

class CHyperLinkLabel : public QLabel {
    Q_OBJECT
  public:
    explicit CHyperLinkLabel(QWidget* parent = nullptr);
    CHyperLinkLabel(const QString& text, QWidget* parent);

    // The set-up of an attached control: texts, fonts, size, cursor, tooltip. Runs by itself
    // when the label is first shown; calling it again redoes it.
    void SetUp();

    void SetURL(const QString& address);
    QString GetURL() const { return m_address; }
    void SetUnderline(int underline);
    int GetUnderline() const { return m_underline; }
    void SetAutoSize(bool adjustToFit);
    void SetColours(QColor link, QColor visited, QColor hover);
    void SetVisited(bool visited);
    bool IsVisited() const { return m_visited; }
    bool IsHovered() const { return m_hovered; }
    void SetOpenForm(controls::UrlOpenForm form) { m_form = form; }
    QColor CurrentColour() const;
    bool IsUnderlinedNow() const { return m_underlinedNow; }

    // The open routine of the program's form; above 32 is success.
    std::intptr_t OpenUrl(const QString& address, int showCommand);
    void ReportOpenError(std::intptr_t code);
    // What a click does: open, mark visited or not, and on failure beep and report.
    void OnClicked();

    static inline const QColor kLinkColour{0, 0, 238};
    static inline const QColor kVisitedColour{85, 26, 139};
    static inline const QColor kHoverColour{255, 0, 0};
    static constexpr int kHoverTimerMs = 100;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void HoverTick();
    void UseFont(bool underlined);
    void Fit();

    QString m_address;
    QColor m_link = kLinkColour, m_visitedColour = kVisitedColour, m_hover = kHoverColour;
    int m_underline = LINK_UNDERLINE_HOVER;
    bool m_adjustToFit = true;
    bool m_hovered = false;
    bool m_visited = false;
    bool m_setUp = false;
    bool m_underlinedNow = false;
    QTimer m_hoverTimer;
    controls::UrlOpenForm m_form = controls::UrlOpenForm::Burner;
};
