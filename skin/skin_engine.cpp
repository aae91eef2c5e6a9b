#include "skin/skin_engine.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QSvgRenderer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <memory>

// Outside any namespace, as the resource initialiser must be called.
static void InitSkinResources() {
    Q_INIT_RESOURCE(skin);
}

namespace skin {

namespace {

constexpr char kSavedSheetProperty[] = "pellamSkinSavedSheet";
constexpr char kButtonClassProperty[] = "skinClass";

thread_local int lastError = SKIN_OK;

int Fail(int error) {
    lastError = error;
    return 0;
}

int Succeed() {
    lastError = SKIN_OK;
    return 1;
}

QIcon SvgIcon(const QString& path, QSize size) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

void Repolish(QWidget* widget) {
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

class Engine;

// Skins dialogs as they are polished, the hook that stands in for window creation.
class DialogWatcher : public QObject {
  public:
    explicit DialogWatcher(Engine& engine) : m_engine(engine) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Engine& m_engine;
};

class Engine {
  public:
    Engine() : m_watcher(*this) {}

    bool loaded = false;
    SkinDescription skin;
    QString dialogSkinName;
    QString programName;

    void Watch() { qApp->installEventFilter(&m_watcher); }
    void Unwatch() {
        if (qApp) qApp->removeEventFilter(&m_watcher);
    }

    void Apply(QWidget* window, const SkinObject& object) {
        TakeOff(window);
        window->setProperty(kSavedSheetProperty, window->styleSheet());
        window->setProperty(kSkinProperty, object.name);
        window->setStyleSheet(object.styleSheet);
        const QFontMetrics metrics = window->fontMetrics();
        auto toPixels = [&](const QRect& r) {
            return object.units == SkinUnits::DialogUnits ? DialogUnitsToPixels(r, metrics) : r;
        };
        if (object.size.isValid())
            window->setFixedSize(toPixels(QRect(QPoint(0, 0), object.size)).size());
        for (const SkinButtonSpec& spec : object.buttons) {
            auto* button = new SkinButton(spec.name, spec.command, window);
            button->setText(spec.text);
            button->setProperty(kButtonClassProperty, spec.styleClass);
            button->setGeometry(toPixels(spec.rect));
            if (!spec.iconPath.isEmpty()) {
                int side = std::min(button->height() * 3 / 5, 48);
                button->setIconSize(QSize(side, side));
                button->setIcon(SvgIcon(spec.iconPath, QSize(side, side)));
            }
            QPointer<QWidget> target(window);
            QObject::connect(button, &QPushButton::clicked, button, [target, button] {
                if (auto* commands = dynamic_cast<CommandTarget*>(target.data()))
                    commands->OnSkinCommand(button->Command());
            });
            button->show();
        }
    }

    // Undoes Apply; the window keeps whatever mark it had.
    static void TakeOff(QWidget* window) {
        QVariant mark = window->property(kSkinProperty);
        if (!mark.isValid() || mark.toString() == kSkinOff) return;
        for (SkinButton* button : window->findChildren<SkinButton*>(Qt::FindDirectChildrenOnly))
            delete button;
        window->setStyleSheet(window->property(kSavedSheetProperty).toString());
        window->setProperty(kSavedSheetProperty, QVariant());
    }

    void SkinNewDialog(QWidget* dialog) {
        if (!loaded || dialogSkinName.isEmpty()) return;
        if (dialog->property(kSkinProperty).isValid()) return; // taken off, or skinned already
        if (const SkinObject* object = skin.Find(dialogSkinName)) Apply(dialog, *object);
    }

  private:
    DialogWatcher m_watcher;
};

bool DialogWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Polish && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && qobject_cast<QDialog*>(widget)) m_engine.SkinNewDialog(widget);
    }
    return false;
}

std::unique_ptr<Engine> engine;

// The common gate: started, and on the application's thread.
bool Ready() {
    if (!engine) return Fail(SKIN_E_NOT_STARTED);
    if (!qApp || QThread::currentThread() != qApp->thread()) return Fail(SKIN_E_WRONG_THREAD);
    return true;
}

int Load(const QString& folder) {
    SkinDescription description;
    QString error;
    if (!ReadSkinDescription(folder, description, error)) {
        qWarning("skin: %s", qPrintable(error));
        return Fail(QFile::exists(folder + "skin.json") ? SKIN_E_BAD_SKIN
                                                        : SKIN_E_RESOURCE_NOT_FOUND);
    }
    engine->skin = std::move(description);
    engine->loaded = true;
    return Succeed();
}

} // namespace

int StartEngine(const void* /*instance*/, const char* programName) {
    if (engine) return Fail(SKIN_E_ALREADY_STARTED);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return Fail(SKIN_E_NO_APPLICATION);
    if (QThread::currentThread() != qApp->thread()) return Fail(SKIN_E_WRONG_THREAD);
    InitSkinResources();
    engine = std::make_unique<Engine>();
    engine->programName = programName ? QString::fromUtf8(programName) : QString();
    engine->Watch();
    return Succeed();
}

int LoadSkinFromResource(const void* /*module*/, int resource, const char* type) {
    if (!Ready()) return 0;
    if (!type || qstrcmp(type, kSkinResourceType) != 0 || resource <= 0)
        return Fail(SKIN_E_RESOURCE_NOT_FOUND);
    return Load(QString(":/skins/%1/").arg(resource));
}

int LoadSkinFromFolder(const QString& folder) {
    if (!Ready()) return 0;
    if (folder.isEmpty()) return Fail(SKIN_E_BAD_ARGUMENT);
    return Load(folder.endsWith('/') ? folder : folder + '/');
}

int SetDialogSkinName(const char* name) {
    if (!Ready()) return 0;
    if (!name) return Fail(SKIN_E_BAD_ARGUMENT);
    engine->dialogSkinName = QString::fromUtf8(name).left(kMaxSkinNameLength);
    return Succeed();
}

int SetWindowSkin(QWidget* window, const char* objectName) {
    if (!Ready()) return 0;
    if (!window || !objectName) return Fail(SKIN_E_BAD_ARGUMENT);
    if (!engine->loaded) return Fail(SKIN_E_NO_SKIN);
    const SkinObject* object = engine->skin.Find(QString::fromUtf8(objectName));
    if (!object) return Fail(SKIN_E_UNKNOWN_OBJECT);
    engine->Apply(window, *object);
    return Succeed();
}

int RemoveWindowSkin(QWidget* window) {
    if (!Ready()) return 0;
    if (!window) return Fail(SKIN_E_BAD_ARGUMENT);
    Engine::TakeOff(window);
    window->setProperty(kSkinProperty, QString(kSkinOff));
    Repolish(window);
    return Succeed();
}

int GetButtonState(QWidget* window, const char* buttonName, int* state) {
    if (!Ready()) return 0;
    if (!window || !buttonName || !state) return Fail(SKIN_E_BAD_ARGUMENT);
    SkinButton* button = FindSkinButton(window, QString::fromUtf8(buttonName));
    if (!button) return Fail(SKIN_E_UNKNOWN_BUTTON);
    *state = button->State();
    return Succeed();
}

int ShutdownEngine() {
    if (!Ready()) return 0;
    // Taking a skin off deletes its buttons, so walk guarded pointers.
    QList<QPointer<QWidget>> widgets;
    for (QWidget* widget : QApplication::allWidgets())
        if (widget->property(kSkinProperty).isValid()) widgets << widget;
    for (const QPointer<QWidget>& widget : widgets)
        if (widget) Engine::TakeOff(widget);
    for (const QPointer<QWidget>& widget : widgets)
        if (widget) widget->setProperty(kSkinProperty, QVariant());
    engine->Unwatch();
    engine.reset();
    return Succeed();
}

int GetLastError() {
    return lastError;
}

bool IsStarted() {
    return engine != nullptr;
}

SkinButton* FindSkinButton(QWidget* window, const QString& buttonName) {
    if (!window) return nullptr;
    for (SkinButton* button : window->findChildren<SkinButton*>(Qt::FindDirectChildrenOnly))
        if (button->objectName() == buttonName) return button;
    return nullptr;
}

} // namespace skin
