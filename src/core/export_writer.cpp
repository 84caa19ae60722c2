#include "core/export_writer.h"

#include "core/prompts.h"

#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <cerrno>

namespace quendrix {
namespace {

QString errorText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("File not found");
        case ENAMETOOLONG:
        case EINVAL:
        case EISDIR:
            return QStringLiteral("Invalid filename");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("Too many open files");
        case EACCES:
        case EPERM:
        case EROFS:
            return QStringLiteral("File access denied");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("Disk full");
        default:
            return QStringLiteral("I/O error %1").arg(error);
    }
}

}  // namespace

std::optional<QString> WriteExportFile(const QString& path, const QStringList& lines) {
    if (path.isEmpty()) {
        return errorText(ENOENT);
    }
    if (QFileInfo(path).isDir()) {
        return errorText(EISDIR);
    }
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        return errorText(errno != 0 ? errno : EIO);
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLocal8Bit();
        bytes += "\r\n";
    }
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int error = errno != 0 ? errno : EIO;
        file.cancelWriting();
        return errorText(error);
    }
    errno = 0;
    if (!file.commit()) {
        return errorText(errno != 0 ? errno : EIO);
    }
    return std::nullopt;
}

QString ReplaceQuestionText(const QString& path) {
    return path + QStringLiteral(" already exists.\rDo you want to replace it?");
}

bool ConfirmReplace(Prompts& prompts, const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return prompts.askYesNo(QStringLiteral("Confirm"), ReplaceQuestionText(path)) ==
           Prompts::Answer::Yes;
}

QStringList HtmlPageHead(const HtmlFrame& frame) {
    return {
        QStringLiteral("<html><head><title>%1</title></head>").arg(frame.title),
        QStringLiteral("<body bgcolor=\"#FFFFFF\" text=\"#000000\">"),
        QStringLiteral("<table width=\"98%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
                       "bordercolor=\"#CCCCCC\" bgcolor=\"#003399\"%1>")
            .arg(frame.centreOuterTable ? QStringLiteral(" align=\"center\"") : QString()),
        QStringLiteral("<tr bgcolor=\"#003399\"><td width=\"9%\">&nbsp;</td><td "
                       "width=\"81%\">&nbsp;</td><td width=\"10%\">&nbsp;</td></tr>"),
        QStringLiteral("<tr bgcolor=\"#003399\"><td width=\"9%\">&nbsp;</td><td width=\"81%\">"),
        QStringLiteral("<div align=\"center\"><font color=\"#003366\" size=\"3\" face=\"Arial, "
                       "Helvetica, sans-serif\"><b><font size=\"5\" face=\"Times New Roman, "
                       "Times, serif\" color=\"#FFFFFF\">%1</font></b></font></div>")
            .arg(frame.heading),
        QStringLiteral("</td><td width=\"10%\">&nbsp;</td></tr><tr bgcolor=\"#003399\"><td "
                       "width=\"9%\">&nbsp;</td><td width=\"81%\">&nbsp;</td><td "
                       "width=\"10%\">&nbsp;</td></tr></table><br>"),
        QStringLiteral("<table width=\"%1\" border=\"0\" cellspacing=\"2\" cellpadding=\"0\" "
                       "align=\"center\">")
            .arg(frame.tableWidth),
    };
}

QString HtmlCreatedLine(const QDateTime& now) {
    const QLocale locale = QLocale::system();
    return QStringLiteral(
               "<tr><td><div align=\"center\"><font size=\"2\"><b><font "
               "color=\"#003399\">Created by Quendrix %1 %2 "
               "</font></b></font></div>")
        .arg(locale.toString(now.date(), QLocale::ShortFormat),
             locale.toString(now.time(), QLocale::LongFormat));
}

QStringList HtmlPageTail(const QDateTime& now) {
    return {
        QStringLiteral("</table><br><table width=\"80%\" border=\"0\" cellspacing=\"0\" "
                       "cellpadding=\"0\" align=\"center\">"),
        HtmlCreatedLine(now),
        QStringLiteral("</td></tr><tr><td><div align=\"center\"><a href=\"%1\" "
                       "target=\"_blank\"><font color=\"#6699CC\"><b><font "
                       "size=\"2\">%2</font></b></font></a></div>")
            .arg(kHomePageUrl, kHomePageText),
        QStringLiteral("</td></tr></table></body></html> "),
    };
}

QString HtmlRowStart(int index) {
    return index % 2 == 0 ? QStringLiteral("<tr>") : QStringLiteral("<tr bgcolor=\"#E4E4E4\">");
}

QString HtmlCell(const QString& width, const QString& text, bool red) {
    if (red) {
        return QStringLiteral(
                   "<td height=\"21\" width=\"%1\"><div align=\"center\"><font "
                   "color=\"#FF0000\">%2</font><div></td>")
            .arg(width, text);
    }
    return QStringLiteral("<td height=\"21\" width=\"%1\"><div align=\"center\">%2<div></td>")
        .arg(width, text);
}

}  // namespace quendrix
