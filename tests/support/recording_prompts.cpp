#include "support/recording_prompts.h"

#include "core/widgets/application.h"

namespace quendrix::test {

RecordingPrompts::RecordingPrompts() {
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) {
        app->setPrompts(this);
    }
}

RecordingPrompts::~RecordingPrompts() {
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) {
        app->setPrompts(nullptr);
    }
}

bool RecordingPrompts::message(const QString& caption, const QString& text, Icon icon) {
    recorded.append({QStringLiteral("message"), caption, text, icon});
    return closeMessage ? closeMessage() : true;
}

Prompts::Answer RecordingPrompts::askYesNo(const QString& caption, const QString& text) {
    recorded.append({QStringLiteral("yesno"), caption, text, Icon::Question});
    return answers.isEmpty() ? Answer::Yes : answers.takeFirst();
}

Prompts::Answer RecordingPrompts::askYesCancel(const QString& caption, const QString& text) {
    recorded.append({QStringLiteral("yescancel"), caption, text, Icon::Question});
    return answers.isEmpty() ? Answer::Yes : answers.takeFirst();
}

QString RecordingPrompts::openFile(const QString& directory, const QStringList& filters) {
    recorded.append({QStringLiteral("open"), QString(), directory, Icon::None});
    lastFilters = filters;
    return files.isEmpty() ? QString() : files.takeFirst();
}

QString RecordingPrompts::saveFile(const QString& directory, const QString& filter,
                                   const QString& defaultSuffix) {
    recorded.append({QStringLiteral("save"), QString(), directory, Icon::None});
    lastSaveFilter = filter;
    lastSaveSuffix = defaultSuffix;
    return files.isEmpty() ? QString() : files.takeFirst();
}

bool RecordingPrompts::openWithShell(const QString& fileOrUrl) {
    recorded.append({QStringLiteral("shell"), QString(), fileOrUrl, Icon::None});
    return true;
}

QStringList RecordingPrompts::messages() const {
    QStringList out;
    for (const RecordedPrompt& prompt : recorded) {
        if (prompt.kind == QLatin1String("message")) {
            out.append(prompt.caption + QLatin1Char('|') + prompt.text);
        }
    }
    return out;
}

}  // namespace quendrix::test
