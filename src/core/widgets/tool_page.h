// The frame of a tool page: its object name, its header text across the top and the area
// below it that the tool fills, and what the main window asks of every page: the close
// query, its settings at close, and the points it offers to the hand-off between pages.
#pragma once

#include "core/hand_off.h"

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace quendrix {

class PageHost;

class ToolPage : public QWidget {
    Q_OBJECT
  public:
    ToolPage(const QString& objectName, const QString& header, QWidget* parent = nullptr);
    QLabel* headerLabel() const { return m_header; }
    // The layout below the header; tools add their panels here.
    QVBoxLayout* body() const { return m_body; }

    // Asked when the window is about to close: false keeps it open (a page that refuses
    // has asked the user itself).
    virtual bool queryClose() { return true; }
    // Called at close, before settings.ini is written: the page stores its settings.
    virtual void saveSettings(PageHost& host) { Q_UNUSED(host); }
    // The boxes, sources and actions this page offers to other pages.
    const HandOffPoints& handOffPoints() const { return m_handOff; }

  protected:
    // Where a page declares its points, once, while it builds its controls.
    HandOffPoints& declareHandOff() { return m_handOff; }

  private:
    QLabel* m_header = nullptr;
    QVBoxLayout* m_body;
    HandOffPoints m_handOff;
};

}  // namespace quendrix
