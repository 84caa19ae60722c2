#include "core/export_writer.h"

#include "core/prompts.h"
#include "net/file_writer.h"

#include <QFile>
#include <QFileInfo>

namespace quendrix {

QByteArray ExportFileBytes(const QStringList& lines, TextEncoding encoding) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encoding == TextEncoding::Latin1 ? line.toLatin1() : line.toLocal8Bit();
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<QString> WriteExportFile(const QString& path, const QStringList& lines,
                                       TextEncoding encoding) {
    const QByteArray bytes = ExportFileBytes(lines, encoding);
    if (const auto error = net::WriteWholeFile(QFile::encodeName(path).toStdString(),
                                               {bytes.constData(), std::size_t(bytes.size())})) {
        return QString::fromStdString(*error);
    }
    return std::nullopt;
}

ReplaceQuestion AlreadyExistsQuestion() {
    return {QStringLiteral("Confirm"),
            QStringLiteral("%1 already exists.\rDo you want to replace it?")};
}

ReplaceQuestion HasExistedQuestion() {
    return {QStringLiteral("Confirm"), QStringLiteral("The file has existed, replace it or not?")};
}

QString ReplaceQuestionText(const QString& path, const ReplaceQuestion& question) {
    return question.text.contains(QLatin1String("%1")) ? question.text.arg(path) : question.text;
}

bool ConfirmReplace(Prompts& prompts, const QString& path, const ReplaceQuestion& question) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return prompts.askYesNo(question.caption, ReplaceQuestionText(path, question)) ==
           Prompts::Answer::Yes;
}

std::optional<QString> SaveExportAs(
    Prompts& prompts, const ExportKind& kind, const ReplaceQuestion& question,
    const std::function<QStringList()>& lines, TextEncoding encoding,
    const std::function<QString(const QString& path, const QString& reason)>& failureText) {
    return SaveExportAs(
        prompts, kind, [&](const QString& path) { return ConfirmReplace(prompts, path, question); },
        lines, encoding, failureText);
}

std::optional<QString> SaveExportAs(
    Prompts& prompts, const ExportKind& kind,
    const std::function<bool(const QString& path)>& canClose,
    const std::function<QStringList()>& lines, TextEncoding encoding,
    const std::function<QString(const QString& path, const QString& reason)>& failureText) {
    const QString path = prompts.saveFile(QString(), kind.saveFilter(), kind.fileType());
    if (path.isEmpty() || !canClose(path)) {
        return std::nullopt;
    }
    if (const auto error = WriteExportFile(path, lines(), encoding)) {
        prompts.message(QStringLiteral("Quendrix"),
                        failureText ? failureText(path, *error) : *error, Prompts::Icon::Error);
        return std::nullopt;
    }
    return path;
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
