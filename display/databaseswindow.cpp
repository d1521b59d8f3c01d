#include "display/databaseswindow.h"

#include "app/widgets/rframelesswidget.h"
#include "candb/databaseset.h"
#include "display/databasesmodel.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QVector<int> channelChoices()
{
    return { DatabaseSet::BothChannels, DatabaseSet::Channel1, DatabaseSet::Channel2 };
}

// Picks a file's channels from a list in place.
class ChannelsDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent,
                          const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        Q_UNUSED(option)
        Q_UNUSED(index)
        auto *box = new QComboBox(parent);
        for (const int channels : channelChoices())
            box->addItem(DatabasesModel::channelsText(channels), channels);
        // Chosen is done: the change is kept without another click elsewhere.
        connect(box, qOverload<int>(&QComboBox::activated), box, [this, box] {
            emit const_cast<ChannelsDelegate *>(this)->commitData(box);
            emit const_cast<ChannelsDelegate *>(this)->closeEditor(box);
        });
        return box;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *box = static_cast<QComboBox *>(editor);
        box->setCurrentIndex(box->findData(index.data(Qt::EditRole).toInt()));
    }
    void setModelData(QWidget *editor,
                      QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        model->setData(index, static_cast<QComboBox *>(editor)->currentData(), Qt::EditRole);
    }
};
} // namespace

DatabasesWindow::DatabasesWindow(DatabaseSet *databases, QWidget *parent)
    : RborderWidget(parent)
    , m_databases(databases)
{
    setObjectName(QStringLiteral("databasesWindow"));
    resize(720, 460);

    m_title = new rFrameLessWidget(this, tr(" CAN数据库"), 8, QColor(0, 66, 99));
    m_title->setMaximumHeight(35);
    connect(m_title, &rFrameLessWidget::Signal_Close, this, &QWidget::hide);

    m_model = new DatabasesModel(databases, this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("databasesView"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                            | QAbstractItemView::EditKeyPressed);
    m_view->setItemDelegateForColumn(DatabasesModel::ChannelsColumn, new ChannelsDelegate(m_view));
    m_view->verticalHeader()->setVisible(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(DatabasesModel::FileColumn, 220);
    m_view->setColumnWidth(DatabasesModel::ChannelsColumn, 120);
    m_view->setColumnWidth(DatabasesModel::MessagesColumn, 70);

    m_channels = new QComboBox(this);
    m_channels->setObjectName(QStringLiteral("databaseChannels"));
    m_channels->setToolTip(tr("新添加的文件用于哪些通道；已添加文件的通道可在列表中双击修改"));
    for (const int channels : channelChoices())
        m_channels->addItem(DatabasesModel::channelsText(channels), channels);
    m_add = new QPushButton(tr("添加..."), this);
    m_add->setObjectName(QStringLiteral("databaseAdd"));
    m_reload = new QPushButton(tr("重新加载"), this);
    m_reload->setObjectName(QStringLiteral("databaseReload"));
    m_remove = new QPushButton(tr("移除"), this);
    m_remove->setObjectName(QStringLiteral("databaseRemove"));
    m_problems = new QPlainTextEdit(this);
    m_problems->setObjectName(QStringLiteral("databaseProblems"));
    m_problems->setReadOnly(true);
    m_problems->setMaximumHeight(130);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(tr("新文件用于:"), this));
    buttons->addWidget(m_channels);
    buttons->addStretch();
    buttons->addWidget(m_add);
    buttons->addWidget(m_reload);
    buttons->addWidget(m_remove);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    body->addWidget(m_view);
    body->addLayout(buttons);
    body->addWidget(new QLabel(tr("所选文件的问题:"), this));
    body->addWidget(m_problems);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addLayout(body);

    connect(m_add, &QPushButton::clicked, this, &DatabasesWindow::addFiles);
    connect(m_reload, &QPushButton::clicked, this, &DatabasesWindow::reloadCurrent);
    connect(m_remove, &QPushButton::clicked, this, &DatabasesWindow::removeCurrent);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &DatabasesWindow::showCurrent);
    // A reset forgets the selection; the list rarely holds more than a few files.
    connect(m_model, &QAbstractItemModel::modelReset, this, &DatabasesWindow::showCurrent);
    showCurrent();
}

int DatabasesWindow::currentRow() const
{
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void DatabasesWindow::selectRow(int row)
{
    if (row >= 0 && row < m_model->rowCount())
        m_view->selectRow(row);
    showCurrent();
}

void DatabasesWindow::showCurrent()
{
    const int row = currentRow();
    m_reload->setEnabled(row >= 0);
    m_remove->setEnabled(row >= 0);
    if (row < 0) {
        m_problems->setPlainText(m_model->rowCount() ? tr("选择一个文件以查看其问题。")
                                                     : tr("尚未添加数据库。"));
        return;
    }
    const DatabaseSet::Entry entry = m_model->entry(row);
    const QString problems = DatabasesModel::problemText(entry);
    m_problems->setPlainText(problems.isEmpty() ? tr("文件读取无误。") : problems);
}

void DatabasesWindow::addFiles()
{
    const QStringList paths = m_fileProvider
        ? m_fileProvider()
        : QFileDialog::getOpenFileNames(this, tr("添加CAN数据库"), QString(),
                                        tr("CAN数据库 (*.dbc);;所有文件 (*)"));
    if (paths.isEmpty())
        return;
    const int channels = m_channels->currentData().toInt();
    for (const QString &path : paths)
        m_databases->add(path, channels);
    DatabasesModel::store(m_databases);
    selectRow(m_model->rowCount() - 1);
}

void DatabasesWindow::reloadCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    m_databases->reload(row);
    selectRow(row);
}

void DatabasesWindow::removeCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    m_databases->remove(row);
    DatabasesModel::store(m_databases);
    selectRow(qMin(row, m_model->rowCount() - 1));
}
