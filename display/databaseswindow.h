#pragma once

// The CAN databases window: the DBC files in use, each for channel 1, channel 2 or both; files
// are added, removed and read again here, and what the reader found wrong in the chosen file is
// shown below the list. Every change is kept in the settings.

#include "app/widgets/rborderwidget.h"

#include <QStringList>

#include <functional>

class DatabaseSet;
class DatabasesModel;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class rFrameLessWidget;

class DatabasesWindow : public RborderWidget
{
    Q_OBJECT
public:
    explicit DatabasesWindow(DatabaseSet *databases, QWidget *parent = nullptr);

    DatabasesModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    // The channels the next files added are for.
    QComboBox *channelsBox() const { return m_channels; }
    QPlainTextEdit *problemsView() const { return m_problems; }
    // Replaces the file dialog, for tests and automation.
    void setFileProvider(std::function<QStringList()> provider)
    {
        m_fileProvider = std::move(provider);
    }

    void addFiles();
    void reloadCurrent();
    void removeCurrent();

private:
    int currentRow() const;
    void selectRow(int row);
    void showCurrent();

    DatabaseSet *m_databases = nullptr;
    DatabasesModel *m_model = nullptr;
    rFrameLessWidget *m_title = nullptr;
    QTableView *m_view = nullptr;
    QComboBox *m_channels = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_reload = nullptr;
    QPushButton *m_remove = nullptr;
    QPlainTextEdit *m_problems = nullptr;
    std::function<QStringList()> m_fileProvider;
};
