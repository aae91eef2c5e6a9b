// The About box (100): the program's title and version, links to the home page and to the
// support mail address, and OK.
#pragma once

#include "burner/app/about_box.h"

#include <QDialog>

class CHyperLinkLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    CAboutDlg(const AboutView& view, QWidget* parent);

  private:
    CHyperLinkLabel* m_home;
    CHyperLinkLabel* m_support;
};
