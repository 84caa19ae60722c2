#include "core/date_time_text.h"

#include <QLocale>

namespace quendrix {

QString ShortDateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString TimeFormatWithoutZone(const QString& format) {
    const auto isSeparator = [](QChar c) { return c.isSpace() || c == QLatin1Char(','); };
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;  // a doubled quote, a literal one, toggles twice
            result += c;
            ++i;
            continue;
        }
        if (quoted || c != QLatin1Char('t')) {
            result += c;
            ++i;
            continue;
        }
        // The zone: a run of t, with the brackets around it and the separators on each side.
        qsizetype end = i;
        while (end < format.size() && format[end] == QLatin1Char('t')) {
            ++end;
        }
        const QChar opening = result.isEmpty() ? QChar() : result.back();
        const QChar closing = end < format.size() ? format[end] : QChar();
        if ((opening == QLatin1Char('(') && closing == QLatin1Char(')')) ||
            (opening == QLatin1Char('[') && closing == QLatin1Char(']'))) {
            result.chop(1);
            ++end;
        }
        bool separated = false;
        while (!result.isEmpty() && isSeparator(result.back())) {
            result.chop(1);
            separated = true;
        }
        while (end < format.size() && isSeparator(format[end])) {
            ++end;
            separated = true;
        }
        if (separated && !result.isEmpty() && end < format.size()) {
            result += QLatin1Char(' ');
        }
        i = end;
    }
    return result;
}

QString LongTimeText(const QTime& time) {
    // The format is the system's, so it is looked up each time.
    const QLocale system = QLocale::system();
    return system.toString(time, TimeFormatWithoutZone(system.timeFormat(QLocale::LongFormat)));
}

}  // namespace quendrix
