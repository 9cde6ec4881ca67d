#include "discovery/app/displayname.h"

namespace {

constexpr qsizetype kDisplayNameMax = 64; // enough for any name a person gives a server

} // namespace

QString displayName(const QString& name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i], name[i + 1]);
            ++i;
        }
        switch (QChar::category(c)) {
        case QChar::Other_Format: // drawn as nothing, yet they turn or hide what follows
            continue;
        case QChar::Other_Control:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = QChar::ReplacementCharacter;
            break;
        default:
            break;
        }
        out += QStringView(QChar::fromUcs4(c));
    }
    if (out.size() <= kDisplayNameMax) return out;
    qsizetype cut = kDisplayNameMax - 1;
    if (out[cut - 1].isHighSurrogate()) --cut; // never half a character
    out.truncate(cut);
    return out + QChar(0x2026);
}
