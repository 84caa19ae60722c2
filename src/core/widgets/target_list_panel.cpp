#include "core/widgets/target_list_panel.h"

#include "core/errors.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/target_list_model.h"
#include "core/widgets/centre_on_screen.h"
#include "core/widgets/hand_off_menu.h"

#include <QAction>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace quendrix {

TargetEntryDialog::TargetEntryDialog(const TargetListConfig::Dialog& config, QWidget* parent)
    : QDialog(parent) {
    setObjectName(config.objectName);
    setWindowTitle(config.caption);
    setModal(true);
    Qt::WindowFlags flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint;
    if (config.stayOnTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);

    auto* label = new QLabel(config.label, this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(config.editName);
    m_edit->setMinimumWidth(260);
    m_button1 = new QPushButton(config.buttonCaption, this);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button2 = new QPushButton(QStringLiteral("Close"), this);
    m_button2->setObjectName(QStringLiteral("Button2"));
    // Enter is handled by the box itself; a default button would act a second time.
    m_button1->setAutoDefault(false);
    m_button2->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button1);
    buttons->addWidget(m_button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_button1, &QPushButton::clicked, this, [this] { Q_EMIT confirmed(m_edit->text()); });
    connect(m_edit, &QLineEdit::returnPressed, this, [this] { Q_EMIT confirmed(m_edit->text()); });
    connect(m_button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TargetEntryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(this);
}

TargetListPanel::TargetListPanel(const TargetListConfig& config, PageHost& host, QWidget* parent)
    : QWidget(parent), m_host(host) {
    m_model = new TargetListModel(this);
    m_view = new QListView(this);
    m_view->setObjectName(config.listName);
    m_view->setModel(m_model);
    // Uniform sizes let the view lay out a million entries without measuring each.
    m_view->setUniformItemSizes(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (config.showHint) {
        m_view->setToolTip(QStringLiteral("Right Click to Get More"));
    }

    m_import = new QToolButton(this);
    m_import->setObjectName(config.importButtonName);
    m_import->setToolTip(config.importHint);
    m_import->setText(QStringLiteral("Import"));

    auto* total = new QLabel(QStringLiteral("Total"), this);
    total->setObjectName(config.totalLabelName);
    m_count = new QLabel(this);
    m_count->setObjectName(config.countLabelName);
    m_count->setMinimumWidth(60);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_import);
    bottom->addStretch();
    bottom->addWidget(total);
    bottom->addWidget(m_count);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);

    m_menu = new QMenu(this);
    m_menu->setObjectName(config.menuName);
    const auto addItem = [this](const TargetListConfig::Item& item, const QKeySequence& keys,
                                void (TargetListPanel::*handler)()) {
        auto* action = m_menu->addAction(item.caption);
        action->setObjectName(item.objectName);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            m_view->addAction(action);
        }
        connect(action, &QAction::triggered, this, handler);
    };
    addItem(config.add, QKeySequence(Qt::CTRL | Qt::Key_W), &TargetListPanel::addClick);
    addItem(config.update, QKeySequence(Qt::CTRL | Qt::Key_F), &TargetListPanel::updateClick);
    addItem(config.remove, QKeySequence(Qt::CTRL | Qt::Key_D), &TargetListPanel::deleteClick);
    addItem(config.clear, QKeySequence(), &TargetListPanel::clearAllClick);
    // The page appends its hand-off items after these (AppendHandOffItems). The menu acts on
    // the entry the user selected before: a right click selects nothing.
    KeepCurrentOnRightClick(m_view);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_menu->popup(m_view->viewport()->mapToGlobal(at)); });
    connect(m_view, &QAbstractItemView::doubleClicked, this, &TargetListPanel::updateClick);
    connect(m_import, &QToolButton::clicked, this, &TargetListPanel::importClick);

    m_addDialog = new TargetEntryDialog(config.addDialog, this);
    m_updateDialog = new TargetEntryDialog(config.updateDialog, this);
    connect(m_addDialog, &TargetEntryDialog::confirmed, this, [this](const QString& text) {
        // Added entries go in front; the dialog stays open for the next one.
        m_model->prepend(text);
        showCount();
    });
    connect(m_updateDialog, &TargetEntryDialog::confirmed, this, [this](const QString& text) {
        m_model->replace(m_updatePosition, text);
        m_updateDialog->accept();
    });
}

void TargetListPanel::showCount() {
    m_count->setText(QString::number(m_model->count()));
}

std::optional<QString> TargetListPanel::selectedEntry() const {
    const int position = selectedPosition();
    if (position < 0) {
        return std::nullopt;
    }
    return m_model->entryAt(position);
}

void TargetListPanel::blankCount() {
    m_count->clear();
}

int TargetListPanel::selectedPosition() const {
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void TargetListPanel::importClick() {
    const QString path =
        m_host.prompts().openFile(m_host.openDialogDirectory(),
                                  {QStringLiteral("*.txt (*.txt)"), QStringLiteral("*.ini (*.ini)"),
                                   QStringLiteral("*.txt;*.ini (*.txt *.ini)")});
    if (path.isEmpty()) {
        return;
    }
    m_host.setOpenDialogDirectory(QFileInfo(path).absolutePath());
    importFile(path);
}

void TargetListPanel::importFile(const QString& path) {
    QString error;
    auto lines = ReadTargetFile(path, &error);
    if (!lines) {
        throw UserError(error);
    }
    m_model->replaceAll(std::move(*lines));
    showCount();
}

void TargetListPanel::addClick() {
    m_addDialog->open();
}

void TargetListPanel::updateClick() {
    const int position = selectedPosition();
    if (position < 0) {
        return;
    }
    m_updatePosition = position;
    m_updateDialog->edit()->setText(m_model->entryAt(position).value_or(QString()));
    m_updateDialog->open();
}

void TargetListPanel::deleteClick() {
    const int position = selectedPosition();
    if (position < 0) {
        return;
    }
    m_model->remove(position);
    showCount();
}

void TargetListPanel::clearAllClick() {
    m_model->clear();
    blankCount();
}

}  // namespace quendrix
