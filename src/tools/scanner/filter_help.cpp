#include "tools/scanner/filter_help.h"

#include "core/widgets/centre_on_screen.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quendrix {

Tfilter_help::Tfilter_help(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Tfilter_help"));
    setWindowTitle(QStringLiteral("Filter Help"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    const auto text = [this](const char* name, const QString& caption) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setWordWrap(true);
        // Wide enough that the longest text wraps into a few lines, never one word a line.
        label->setMinimumWidth(300);
        return label;
    };
    QLabel* types =
        text("Label1", QStringLiteral("Please enter the file type name. For example, if you enter "
                                      "\"gif\" and \"htm\", Website Scanner will only scan the "
                                      "gif file and htm file.  "));
    QLabel* mail = text("Label2", QStringLiteral("If you want to scan the email address, you must "
                                                 "enter \"mail\" in the Filter Box"));
    QLabel* format = text("Label3", QStringLiteral("Please note:  You must enter the filter words "
                                                   "as the same format as listed on the rigtht"));

    // The example on a white panel, black text whatever the desktop's palette.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base}) {
        white.setColor(role, Qt::white);
    }
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        white.setColor(role, Qt::black);
    }
    panel->setPalette(white);
    auto* heading = new QLabel(QStringLiteral("Example"), panel);
    heading->setObjectName(QStringLiteral("Label4"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* check = new QCheckBox(QStringLiteral("Filter"), panel);
    check->setObjectName(QStringLiteral("CheckBox1"));
    check->setChecked(true);
    auto* memo = new QPlainTextEdit(panel);
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setPlainText(QStringLiteral("gif\njpg\nmail\nzip"));
    memo->setFixedWidth(110);
    memo->setFixedHeight(memo->fontMetrics().lineSpacing() * 5 + 12);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(heading);
    panelLayout->addWidget(check);
    panelLayout->addWidget(memo);
    panelLayout->addStretch();

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("Button1"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(types);
    texts->addWidget(mail);
    texts->addWidget(format);
    texts->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(texts, 1);
    columns->addWidget(panel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Tfilter_help::showModal() {
    show();
    raise();
    activateWindow();
}

void Tfilter_help::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(this);
}

}  // namespace quendrix
