#include "support/translationcheck.h"

#include "app/runtimefiles.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QTranslator>
#include <QTreeWidget>
#include <qcustomplot.h>

namespace TranslationCheck {

QString englishQmPath()
{
    const QString path = RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm"));
    return QFileInfo::exists(path) ? QFileInfo(path).absoluteFilePath() : QString();
}

bool installEnglish(QTranslator *translator)
{
    const QString path = englishQmPath();
    if (path.isEmpty() || !translator->load(path))
        return false;
    return QCoreApplication::installTranslator(translator);
}

bool containsCjk(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x3000 && u <= 0x303F) // CJK punctuation
            || (u >= 0x3400 && u <= 0x4DBF) // extension A
            || (u >= 0x4E00 && u <= 0x9FFF) // unified ideographs
            || (u >= 0xF900 && u <= 0xFAFF) // compatibility ideographs
            || (u >= 0xFF00 && u <= 0xFFEF)) // full-width forms
            return true;
    }
    return false;
}

namespace {

class Collector
{
public:
    void widget(QWidget *w);
    QStringList found;

private:
    void check(const QString &where, const QString &kind, const QString &text);
    void action(const QString &where, QAction *a);
    void menu(const QString &where, QMenu *m);
    void model(const QString &where, QAbstractItemModel *m);

    QSet<QObject *> m_seen;
};

QString pathOf(const QObject *o)
{
    QStringList parts;
    for (; o; o = o->parent()) {
        const QString name = o->objectName();
        parts.prepend(name.isEmpty() ? QString::fromLatin1(o->metaObject()->className()) : name);
    }
    return parts.join(QLatin1Char('/'));
}

void Collector::check(const QString &where, const QString &kind, const QString &text)
{
    if (containsCjk(text))
        found << where + QLatin1Char(' ') + kind + QStringLiteral(": ") + text;
}

void Collector::action(const QString &where, QAction *a)
{
    if (!a || m_seen.contains(a))
        return;
    m_seen.insert(a);
    const QString at = where + QStringLiteral(" action ") + a->objectName();
    check(at, QStringLiteral("text"), a->text());
    check(at, QStringLiteral("iconText"), a->iconText());
    check(at, QStringLiteral("toolTip"), a->toolTip());
    check(at, QStringLiteral("statusTip"), a->statusTip());
    if (a->menu())
        menu(at, a->menu());
}

void Collector::menu(const QString &where, QMenu *m)
{
    if (!m || m_seen.contains(m))
        return;
    m_seen.insert(m);
    check(where, QStringLiteral("menu title"), m->title());
    const QList<QAction *> actions = m->actions();
    for (QAction *a : actions)
        action(where, a);
}

void Collector::model(const QString &where, QAbstractItemModel *m)
{
    if (!m)
        return;
    for (int c = 0; c < m->columnCount(); ++c) {
        check(where, QStringLiteral("header %1").arg(c),
              m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        check(where, QStringLiteral("header tip %1").arg(c),
              m->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
    }
    // Row headers are numbers in our tables; a handful is enough to catch a captioned one.
    for (int r = 0; r < qMin(m->rowCount(), 64); ++r)
        check(where, QStringLiteral("row header %1").arg(r),
              m->headerData(r, Qt::Vertical, Qt::DisplayRole).toString());
}

void Collector::widget(QWidget *w)
{
    if (!w || m_seen.contains(w))
        return;
    m_seen.insert(w);
    const QString at = pathOf(w);

    check(at, QStringLiteral("windowTitle"), w->windowTitle());
    check(at, QStringLiteral("toolTip"), w->toolTip());
    check(at, QStringLiteral("statusTip"), w->statusTip());
    check(at, QStringLiteral("whatsThis"), w->whatsThis());
    check(at, QStringLiteral("accessibleName"), w->accessibleName());

    if (auto *label = qobject_cast<QLabel *>(w))
        check(at, QStringLiteral("text"), label->text());
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        check(at, QStringLiteral("text"), button->text());
    if (auto *tool = qobject_cast<QToolButton *>(w)) {
        action(at, tool->defaultAction());
        menu(at, tool->menu());
    }
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        check(at, QStringLiteral("text"), edit->text());
        check(at, QStringLiteral("placeholder"), edit->placeholderText());
    }
    if (auto *edit = qobject_cast<QTextEdit *>(w)) {
        check(at, QStringLiteral("text"), edit->toPlainText());
        check(at, QStringLiteral("placeholder"), edit->placeholderText());
    }
    if (auto *edit = qobject_cast<QPlainTextEdit *>(w)) {
        check(at, QStringLiteral("text"), edit->toPlainText());
        check(at, QStringLiteral("placeholder"), edit->placeholderText());
    }
    if (auto *box = qobject_cast<QGroupBox *>(w))
        check(at, QStringLiteral("title"), box->title());
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        for (int i = 0; i < combo->count(); ++i) {
            check(at, QStringLiteral("item %1").arg(i), combo->itemText(i));
            check(at, QStringLiteral("item tip %1").arg(i),
                  combo->itemData(i, Qt::ToolTipRole).toString());
        }
        check(at, QStringLiteral("currentText"), combo->currentText());
    }
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        check(at, QStringLiteral("prefix"), spin->prefix());
        check(at, QStringLiteral("suffix"), spin->suffix());
    }
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(w)) {
        check(at, QStringLiteral("prefix"), spin->prefix());
        check(at, QStringLiteral("suffix"), spin->suffix());
    }
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
        check(at, QStringLiteral("specialValueText"), spin->specialValueText());
    if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            check(at, QStringLiteral("tab %1").arg(i), tabs->tabText(i));
            check(at, QStringLiteral("tab tip %1").arg(i), tabs->tabToolTip(i));
        }
    }
    if (auto *bar = qobject_cast<QTabBar *>(w)) {
        for (int i = 0; i < bar->count(); ++i) {
            check(at, QStringLiteral("tab %1").arg(i), bar->tabText(i));
            check(at, QStringLiteral("tab tip %1").arg(i), bar->tabToolTip(i));
        }
    }
    if (auto *view = qobject_cast<QAbstractItemView *>(w))
        model(at, view->model());
    if (auto *header = qobject_cast<QHeaderView *>(w))
        model(at, header->model());
    if (auto *list = qobject_cast<QListWidget *>(w)) {
        for (int i = 0; i < list->count(); ++i)
            check(at, QStringLiteral("item %1").arg(i), list->item(i)->text());
    }
    if (auto *table = qobject_cast<QTableWidget *>(w)) {
        for (int r = 0; r < table->rowCount(); ++r)
            for (int c = 0; c < table->columnCount(); ++c)
                if (QTableWidgetItem *item = table->item(r, c))
                    check(at, QStringLiteral("cell %1,%2").arg(r).arg(c), item->text());
    }
    if (auto *tree = qobject_cast<QTreeWidget *>(w)) {
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            for (int c = 0; c < tree->columnCount(); ++c)
                check(at, QStringLiteral("tree item"), (*it)->text(c));
    }
    if (auto *plot = qobject_cast<QCustomPlot *>(w)) {
        const QList<QCPAxisRect *> rects = plot->axisRects();
        for (QCPAxisRect *rect : rects) {
            const QList<QCPAxis *> axes = rect->axes();
            for (QCPAxis *axis : axes)
                check(at, QStringLiteral("axis label"), axis->label());
        }
        for (int i = 0; i < plot->graphCount(); ++i)
            check(at, QStringLiteral("graph %1").arg(i), plot->graph(i)->name());
        for (int i = 0; i < plot->plottableCount(); ++i)
            check(at, QStringLiteral("plottable %1").arg(i), plot->plottable(i)->name());
    }
    if (auto *m = qobject_cast<QMenu *>(w))
        menu(at, m);

    const QList<QAction *> actions = w->actions();
    for (QAction *a : actions)
        action(at, a);

    const QList<QWidget *> children
        = w->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children)
        widget(child);
}

} // namespace

QStringList untranslatedTexts(const QList<QWidget *> &roots)
{
    Collector collector;
    for (QWidget *root : roots)
        collector.widget(root);
    return collector.found;
}

QStringList untranslatedTexts(QWidget *root)
{
    return untranslatedTexts(QList<QWidget *> { root });
}

} // namespace TranslationCheck
