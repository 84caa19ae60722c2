// The right-click menus that send a value to another tool page, built from the menu table of
// core/hand_off for every page alike, and the guard that keeps an item view's current row
// and selection where they are when the user right-clicks it.
#pragma once

#include <QString>

class QAbstractItemView;
class QMenu;
class QWidget;

namespace quendrix {

class PageHost;
class ToolPage;

// Makes the named menu for control (one of the menu's places on page; the control's object
// name names the source) and shows it on a right click over the control. For an item view
// the menu opens over its viewport and a right click leaves its current row alone.
QMenu* AttachHandOffMenu(ToolPage& page, PageHost& host, const QString& menuName, QWidget* control);

// Adds the named menu's items to menu, for the source control on page. A menu that already
// holds items (a list's editing items) gets a separator first.
void AppendHandOffItems(QMenu* menu, ToolPage& page, PageHost& host, const QString& menuName,
                        const QString& control);

// A right-button press, release or double click on the view does nothing (by default a
// press makes the row under the pointer current and selects it); the context menu still opens.
void KeepCurrentOnRightClick(QAbstractItemView* view);

}  // namespace quendrix
