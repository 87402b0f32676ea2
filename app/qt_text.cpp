#include "app/qt_text.h"

#include "platform/cp932.h"

QString qtText(const std::string& cp932) {
    QString s = QString::fromStdString(fromCp932(cp932));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

std::string cp932Text(const QString& text) { return toCp932Lossy(text.toStdString()); }
