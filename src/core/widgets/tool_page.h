// The frame of a tool page: its object name, its header text across the top and the area
// below it that the tool fills.
#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace quendrix {

class ToolPage : public QWidget {
    Q_OBJECT
  public:
    ToolPage(const QString& objectName, const QString& header, QWidget* parent = nullptr);
    QLabel* headerLabel() const { return m_header; }
    // The layout below the header; tools add their panels here.
    QVBoxLayout* body() const { return m_body; }

  private:
    QLabel* m_header = nullptr;
    QVBoxLayout* m_body;
};

}  // namespace quendrix
