#include "tools/whois/whois_page.h"

#include "core/page_host.h"
#include "core/target.h"
#include "core/widgets/page_controls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quendrix {

WhoisPage::WhoisPage(PageHost& host, QWidget* parent)
    : ToolPage(QStringLiteral("whois_tab"), QStringLiteral("Whois"), parent) {
    CheckBox7 = MakeCheckBox(QStringLiteral("CheckBox7"),
                             QStringLiteral("Using a Customized Whois Server"), this);
    edit10 = MakeEdit(QStringLiteral("edit10"), QString(), this);
    auto* row = new QHBoxLayout;
    row->addWidget(CheckBox7);
    row->addWidget(edit10, 1);
    body()->addLayout(row);
    body()->addStretch();
    connect(CheckBox7, &QCheckBox::toggled, edit10, &QWidget::setEnabled);

    // Only the exact text "true" checks the box.
    const bool customized =
        host.setting(QStringLiteral("whois/customized")) == QStringLiteral("true");
    CheckBox7->setChecked(customized);
    edit10->setEnabled(customized);
    edit10->setText(host.setting(QStringLiteral("whois/server")));
}

void WhoisPage::saveSettings(PageHost& host) {
    host.setSetting(QStringLiteral("whois/customized"),
                    CheckBox7->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
    host.setSetting(QStringLiteral("whois/server"), TrimBlanks(edit10->text()));
}

}  // namespace quendrix
