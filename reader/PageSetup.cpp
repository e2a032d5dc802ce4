#include "PageSetup.h"

namespace folianto {

TPageSetupLine ExpandPageSetup(const QString& codes, const TPageSetupValues& values)
{
    TPageSetupLine line;
    QString* places[] = {&line.Left, &line.Centre, &line.Right};
    int place = 0;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        QString& text = *places[place];
        const QChar c = codes[i];
        if (c != u'&' || i + 1 == codes.size()) {
            text += c;
            continue;
        }
        const QChar code = codes[++i];
        switch (code.unicode()) {
        case u'w': text += values.WindowTitle; break;
        case u'u': text += values.Address; break;
        case u'd': text += values.ShortDate; break;
        case u'p': text += QString::number(values.Page); break;
        case u'P': text += QString::number(values.Pages); break;
        case u'&': text += u'&'; break;
        case u'b':
            if (place < 2)
                ++place;
            break;
        default:
            text += c;
            text += code;
            break;
        }
    }
    return line;
}

}  // namespace folianto
