// The one place where the program's CP932 text meets Qt's Unicode.
#pragma once
#include <QString>
#include <string>

// CP932 to QString; the CR line separators become line breaks.
QString qtText(const std::string& cp932);
// QString to CP932; a character CP932 cannot hold becomes "?" (text boxes never let one in).
std::string cp932Text(const QString& text);
