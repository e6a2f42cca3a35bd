#include "accessibility.h"

#include "clicklabel.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QLabel>
#include <QTimer>

namespace {

// A window's voice: no size, nothing to see, shown for a moment to announce its name. Orca 43
// speaks a notification as it shows, whatever has the focus; it says nothing for a change of a
// name or a description that Qt 6.4 sends, whose data is a reference to the object rather than
// the new text.
class Announcer final : public QWidget
{
public:
    explicit Announcer(QWidget *window) : QWidget(window)
    {
        setObjectName(QStringLiteral("Announcer"));
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, 0, 0, 0);
        hide();
    }

    void say(const QString &text)
    {
        hide();
        setAccessibleName(text);
        show();
        // Out of the tree again once the news has gone out; a later one shows it afresh.
        QTimer::singleShot(0, this, &QWidget::hide);
    }
};

class AnnouncerAccessible final : public QAccessibleWidget
{
public:
    explicit AnnouncerAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::Notification)
    {}
};

// The title strip, a label that takes the focus, works as a push button: it has a press action
// and a button's role. Other click labels are text, named by what they show.
class ClickLabelAccessible final : public QAccessibleWidget
{
public:
    explicit ClickLabelAccessible(ClickLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText), m_label(label)
    {}

    QAccessible::Role role() const override
    {
        return isButton() ? QAccessible::Button : QAccessible::StaticText;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && m_label->accessibleName().isEmpty())
            return m_label->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = !isButton();
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (isButton())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &action) override
    {
        if (isButton() && action == pressAction()) {
            // The click runs a modal window; the caller's request must not wait for it to close.
            QTimer::singleShot(0, m_label, &ClickLabel::click);
            return;
        }
        QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString &action) const override
    {
        if (isButton() && action == pressAction())
            return {QStringLiteral("Space"), QStringLiteral("Return")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

    // A label in a dialog is part of the dialog's header, which the dialog reads out as its
    // description: the label is reported as labelling the dialog, so that a screen reader does not
    // read the header twice, nor pick out only the labels it judges long enough.
    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        QList<QPair<QAccessibleInterface *, QAccessible::Relation>> found =
            QAccessibleWidget::relations(match);
        if (!isButton() && (match & QAccessible::Labelled) &&
            qobject_cast<QDialog *>(m_label->parentWidget()))
            found.append({QAccessible::queryAccessibleInterface(m_label->parentWidget()),
                          QAccessible::Labelled});
        return found;
    }

private:
    bool isButton() const { return m_label->focusPolicy() & Qt::TabFocus; }

    ClickLabel *m_label;
};

// A top-level window: a frame, or a dialog that says when it is modal and reads its header (its
// labels, in order) as its description.
class WindowAccessible final : public QAccessibleWidget
{
public:
    WindowAccessible(QWidget *window, QAccessible::Role role) : QAccessibleWidget(window, role) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.modal = widget()->isModal();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Description || role() != QAccessible::Dialog ||
            !widget()->accessibleDescription().isEmpty())
            return QAccessibleWidget::text(t);
        QStringList header;
        const auto labels = widget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        for (const QLabel *label : labels) {
            if (label->isVisibleTo(widget()) && !(label->focusPolicy() & Qt::TabFocus))
                header << (label->accessibleName().isEmpty() ? label->text()
                                                             : label->accessibleName());
        }
        return header.join(QStringLiteral(", "));
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (auto *label = qobject_cast<ClickLabel *>(object))
        return new ClickLabelAccessible(label);
    if (className == QLatin1String("QDialog"))
        return new WindowAccessible(widget, QAccessible::Dialog);
    if (className == QLatin1String("QWidget")) {
        if (dynamic_cast<Announcer *>(widget))
            return new AnnouncerAccessible(widget);
        if (widget->isWindow())
            return new WindowAccessible(widget, QAccessible::Window);
    }
    return nullptr;
}

} // namespace

namespace accessibility {

void install()
{
    // Qt asks the factory installed last first.
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

void announce(QWidget *control, const QString &text)
{
    if (!QAccessible::isActive()) // no assistive technology listens
        return;
    QWidget *window = control->window();
    auto *announcer = dynamic_cast<Announcer *>(
        window->findChild<QWidget *>(QStringLiteral("Announcer"), Qt::FindDirectChildrenOnly));
    if (!announcer)
        announcer = new Announcer(window);
    announcer->say(text);
}

} // namespace accessibility
