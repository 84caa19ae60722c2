// A target list as its page shows it: the list, its "Total" count, the import button, the
// editing part of its context menu and its add and update dialogs. The three tool lists
// differ only in the names and captions given here.
#pragma once

#include <QDialog>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QToolButton;

namespace quendrix {

class PageHost;
class TargetListModel;

struct TargetListConfig {
    struct Item {
        QString objectName;
        QString caption;
    };
    struct Dialog {
        QString objectName;  // e.g. "Tip_add"
        QString caption;
        QString label;
        QString editName;
        QString buttonCaption;
        bool stayOnTop = false;
    };
    QString listName;
    QString importButtonName;
    QString importHint;
    QString countLabelName;
    QString totalLabelName;  // the "Total" caption beside the count; empty: unnamed
    QString menuName;
    bool showHint = true;
    Item add, update, remove, clear;
    Dialog addDialog, updateDialog;
};

// One of the small modal dialogs that add or update a list entry.
class TargetEntryDialog : public QDialog {
    Q_OBJECT
  public:
    TargetEntryDialog(const TargetListConfig::Dialog& config, QWidget* parent);
    QLineEdit* edit() const { return m_edit; }
    QPushButton* button1() const { return m_button1; }
    QPushButton* button2() const { return m_button2; }

  Q_SIGNALS:
    // "Add"/"Update" pressed or Enter in the box.
    void confirmed(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* m_edit;
    QPushButton* m_button1;
    QPushButton* m_button2;
};

class TargetListPanel : public QWidget {
    Q_OBJECT
  public:
    TargetListPanel(const TargetListConfig& config, PageHost& host, QWidget* parent = nullptr);

    TargetListModel* model() const { return m_model; }
    QListView* view() const { return m_view; }
    QLabel* countLabel() const { return m_count; }
    QToolButton* importButton() const { return m_import; }
    // The editing items; the page appends its hand-off items after a separator.
    QMenu* contextMenu() const { return m_menu; }
    TargetEntryDialog* addDialog() const { return m_addDialog; }
    TargetEntryDialog* updateDialog() const { return m_updateDialog; }

    // The count label: a number, or blank.
    void showCount();
    void blankCount();
    // The selected position, or -1.
    int selectedPosition() const;
    // The selected entry; nothing when no entry is selected.
    std::optional<QString> selectedEntry() const;

    void importClick();
    void addClick();
    void updateClick();
    void deleteClick();
    void clearAllClick();
    // Imports the file at path (the part of importClick after the dialog).
    void importFile(const QString& path);

  private:
    PageHost& m_host;
    TargetListModel* m_model;
    QListView* m_view;
    QLabel* m_count;
    QToolButton* m_import;
    QMenu* m_menu;
    TargetEntryDialog* m_addDialog;
    TargetEntryDialog* m_updateDialog;
    int m_updatePosition = -1;
};

}  // namespace quendrix
