#include "core/widgets/export_dialog.h"

#include "core/prompts.h"
#include "core/widgets/centre_on_screen.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quendrix {

ExportDialog::ExportDialog(const QString& objectName, const QList<ExportKind>& kinds,
                           Prompts& prompts, Producer producer, QWidget* parent,
                           ExportFileOptions options)
    : QDialog(parent),
      m_kinds(kinds),
      m_prompts(prompts),
      m_producer(std::move(producer)),
      m_options(std::move(options)) {
    setObjectName(objectName);
    setWindowTitle(QStringLiteral("Choose"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* label = new QLabel(QStringLiteral("Choose the type of the export file"), this);
    label->setObjectName(QStringLiteral("Label1"));
    auto* frame = new QGroupBox(this);
    auto* frameLayout = new QVBoxLayout(frame);
    for (const ExportKind& kind : kinds) {
        auto* radio = new QRadioButton(kind.caption, frame);
        radio->setObjectName(kind.radioName);
        frameLayout->addWidget(radio);
        m_radios.append(radio);
    }
    if (!m_radios.isEmpty()) {
        m_radios.constFirst()->setChecked(true);
    }
    m_open = new QCheckBox(QStringLiteral("Open the export file"), this);
    m_open->setObjectName(QStringLiteral("CheckBox1"));
    auto* exportButton = new QPushButton(QStringLiteral("Export"), this);
    exportButton->setObjectName(QStringLiteral("Button1"));
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("Button2"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_open);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(exportButton, &QPushButton::clicked, this, &ExportDialog::Button1Click);
    connect(closeButton, &QPushButton::clicked, this, &ExportDialog::Button2Click);
}

int ExportDialog::chosenKind() const {
    for (int i = 0; i < m_radios.size(); ++i) {
        if (m_radios.at(i)->isChecked()) {
            return i;
        }
    }
    return 0;
}

void ExportDialog::choose(int kind) {
    m_radios.at(kind)->setChecked(true);
}

void ExportDialog::showModal() {
    show();
    raise();
    activateWindow();
}

void ExportDialog::Button1Click() {
    const ExportKind& kind = m_kinds.at(chosenKind());
    // The lines are taken once the file is chosen, on the UI thread: rows a running job hands
    // over meanwhile are applied after the export.
    const auto path = SaveExportAs(
        m_prompts, kind, m_options.replaceQuestion, [&] { return m_producer(kind); },
        m_options.encoding);
    if (path && m_open->isChecked()) {
        m_prompts.openWithShell(*path);
    }
}

void ExportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(this);
}

}  // namespace quendrix
