// A date and a time as the system writes them: its short date format, and its long time
// format without the time zone (callers that show a zone append the one they mean). Shared
// by the Connection Monitor's history and the Local Information page's lease times.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>

namespace quendrix {

QString ShortDateText(const QDate& date);
QString LongTimeText(const QTime& time);
// A time format of QLocale with its time zone taken out, and with it the blanks, comma or
// brackets that only set the zone apart ("HH:mm:ss t" and "H:mm:ss (t)" keep their times).
QString TimeFormatWithoutZone(const QString& format);

}  // namespace quendrix
