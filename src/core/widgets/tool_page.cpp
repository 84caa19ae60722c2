#include "core/widgets/tool_page.h"

#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

namespace quendrix {

ToolPage::ToolPage(const QString& objectName, const QString& header, QWidget* parent)
    : QWidget(parent) {
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    if (!header.isEmpty()) {
        m_header = new QLabel(header, this);
        m_header->setObjectName(QStringLiteral("header"));
        QFont font = m_header->font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        font.setBold(true);
        m_header->setFont(font);
        layout->addWidget(m_header);
    }
    m_body = new QVBoxLayout;
    layout->addLayout(m_body, 1);
}

}  // namespace quendrix
