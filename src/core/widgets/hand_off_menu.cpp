#include "core/widgets/hand_off_menu.h"

#include "core/hand_off.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/widgets/tool_page.h"

#include <QAbstractItemView>
#include <QAction>
#include <QMenu>
#include <QMouseEvent>

namespace quendrix {
namespace {

class RightClickGuard : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                // The context menu event comes on its own, whatever happens to the press.
                return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

}  // namespace

void KeepCurrentOnRightClick(QAbstractItemView* view) {
    view->viewport()->installEventFilter(new RightClickGuard(view));
}

void AppendHandOffItems(QMenu* menu, ToolPage& page, PageHost& host, const QString& menuName,
                        const QString& control) {
    const HandOffMenu* table = FindHandOffMenu(menuName);
    Q_ASSERT(table != nullptr && table->places.contains(HandOffPlace{page.objectName(), control}));
    if (table == nullptr) {
        return;
    }
    if (!menu->actions().isEmpty()) {
        menu->addSeparator();
    }
    for (const HandOffMenuItem& item : table->items) {
        if (item.kind == HandOffMenuItem::Kind::Separator) {
            menu->addSeparator()->setObjectName(item.objectName());
            continue;
        }
        QAction* action = menu->addAction(item.caption);
        action->setObjectName(item.objectName());
        if (item.kind == HandOffMenuItem::Kind::OpenAsWebAddress) {
            QObject::connect(action, &QAction::triggered, &page, [&page, &host, control] {
                const std::optional<QString> text = page.handOffPoints().read(control);
                if (!text) {
                    return;
                }
                // A text that is no address is ignored without a message, as is a browser
                // that cannot be started.
                if (const std::optional<QString> address = WebAddressToOpen(*text)) {
                    host.prompts().openWithShell(*address);
                }
            });
            continue;
        }
        QObject::connect(action, &QAction::triggered, &page, [&page, &host, control, item] {
            host.handOff().handOff(page.objectName(), control, item.target, item.conversion);
        });
    }
}

QMenu* AttachHandOffMenu(ToolPage& page, PageHost& host, const QString& menuName,
                         QWidget* control) {
    auto* menu = new QMenu(&page);
    menu->setObjectName(menuName);
    AppendHandOffItems(menu, page, host, menuName, control->objectName());
    QWidget* area = control;
    if (auto* view = qobject_cast<QAbstractItemView*>(control)) {
        area = view->viewport();
        KeepCurrentOnRightClick(view);
    }
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(control, &QWidget::customContextMenuRequested, menu,
                     [menu, area](const QPoint& at) { menu->popup(area->mapToGlobal(at)); });
    return menu;
}

}  // namespace quendrix
