#include "app/fonts.h"

#include <QStringList>

QFont gothicFont(bool proportional, int pixels, bool bold, bool italic) {
    QFont f;
    f.setFamilies({proportional ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic"),
                   QStringLiteral("Noto Sans CJK JP")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}
