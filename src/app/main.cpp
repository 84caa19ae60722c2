// Quendrix: start-up. The splash, the application object, the main window, the loop.
#include "app/main_window.h"
#include "app/settings.h"
#include "core/widgets/application.h"

#include <QCoreApplication>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QSplashScreen>

namespace {

QPixmap splashPicture() {
    QPixmap picture(420, 200);
    picture.fill(QColor(0x00, 0x33, 0x99));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPointSize(30);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect().adjusted(0, -20, 0, -20), Qt::AlignCenter,
                     QStringLiteral("Quendrix"));
    font.setPointSize(11);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(picture.rect().adjusted(0, 70, 0, 0), Qt::AlignCenter,
                     QStringLiteral("Network toolkit"));
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    quendrix::Application app(argc, argv);

    QSplashScreen splash(splashPicture());
    splash.show();
    app.processEvents();

    const QString directory = QCoreApplication::applicationDirPath();
    quendrix::MainWindowOptions options;
    options.executableDirectory = directory;
    options.settingsPath = quendrix::LocateSettingsFile(directory);
    quendrix::Tmain window(options);
    app.setPrompts(&window.prompts());
    window.show();
    splash.finish(&window);
    return app.exec();
}
