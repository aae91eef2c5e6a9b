// The Start Burning dialog: the widgets of the burn job. CStartBurningJob holds the behaviour;
// this window forwards the user's input to it and shows its View() after every input and after
// every message the job handled on the loop's thread.
#pragma once

#include "burner/app/start_burning_job.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace platform {
struct Drive;
class MessageLoop;
} // namespace platform

class CStartBurningDlg : public QDialog {
    Q_OBJECT
  public:
    // The job is bound to loop (whose thread must be this window's) before its initialisation.
    CStartBurningDlg(StartBurningServices services, platform::MessageLoop* loop,
                     QWidget* parent = nullptr);
    ~CStartBurningDlg() override;

    // Fills the lists, the label and the output folder (OnInitDialog of the job), then shows them.
    void InitDialog(const std::vector<platform::Drive>& drives);

    CStartBurningJob& Job() { return *job_; }
    bool Burned() const { return job_->Burned(); }

    // The folder browser of Select; returns the chosen folder or an empty string. Replaceable so
    // that tests need no modal file dialog.
    std::function<QString(QWidget* parent, const QString& current)> chooseFolder;

    // Mirrors the job's view into the widgets; cheap when nothing changed.
    void Render();

  public slots:
    void reject() override;   // Cancel, Finish, Escape and the close box
    void accept() override {} // Enter does nothing

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildWidgets();
    void TakeValues();
    void OnSelect();
    void OnStartClicked();
    void ShowLog(const std::string& log);
    void ShowCombo(QComboBox* combo, const std::vector<std::string>& rows, int selected);
    void ShowRadios(QButtonGroup* group, int value);

    std::unique_ptr<CStartBurningJob> job_;
    platform::MessageLoop* loop_;
    std::string shownLog_;
    bool renderQueued_ = false;
    bool rendering_ = false;

    QLineEdit* outputEdit_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QComboBox* tempDriveList_ = nullptr;
    QRadioButton* ntsc_ = nullptr;
    QRadioButton* pal_ = nullptr;
    QRadioButton* standard_ = nullptr;
    QRadioButton* wide_ = nullptr;
    QButtonGroup* tvGroup_ = nullptr;
    QButtonGroup* aspectGroup_ = nullptr;
    QCheckBox* letterBox_ = nullptr;
    QLabel* letterBoxText_ = nullptr;
    QComboBox* writerList_ = nullptr;
    QLineEdit* labelEdit_ = nullptr;
    QPlainTextEdit* logEdit_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* prompt_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QTimer* renderTimer_ = nullptr;
};
