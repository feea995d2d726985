#include "generation/captiontemplate.h"

#include <QRegularExpression>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

// Anything in braces is meant as a token; a token that is not known is refused at entry.
const QRegularExpression &tokenPattern()
{
    static const QRegularExpression pattern(u"\\{([^{}\\n]*)\\}"_s);
    return pattern;
}

bool isFileNameToken(const QString &token)
{
    return token == u"name" || token == u"stem" || token == u"folder" || token == u"first" || token == u"last";
}

// A caption line is as wide as a thumbnail: more than two under each would crowd the page.
constexpr int kMaxCaptionLines = 2;
// Left, centre and right.
constexpr int kFooterParts = 3;

} // namespace

const QStringList &templateTokens(TemplateKind kind)
{
    static const QStringList caption{u"{name}"_s,     u"{stem}"_s, u"{folder}"_s, u"{index}"_s,  u"{width}"_s,
                                     u"{height}"_s,   u"{date}"_s, u"{camera}"_s, u"{lens}"_s,   u"{exposure}"_s,
                                     u"{aperture}"_s, u"{iso}"_s,  u"{focal}"_s,  u"{rating}"_s, u"{size}"_s};
    static const QStringList footer{u"{page}"_s,  u"{pages}"_s, u"{date}"_s, u"{title}"_s,
                                    u"{count}"_s, u"{first}"_s, u"{last}"_s};
    return kind == TemplateKind::Caption ? caption : footer;
}

QString templateProblem(const QString &text, TemplateKind kind)
{
    const bool caption = kind == TemplateKind::Caption;
    if (caption && text.count(u'\n') >= kMaxCaptionLines)
        return u"at most two lines"_s;
    if (!caption && text.contains(u'\n'))
        return u"one line"_s;
    if (!caption && text.count(u'|') >= kFooterParts)
        return u"at most three parts, LEFT|CENTRE|RIGHT"_s;
    QStringList unknown;
    for (const QRegularExpressionMatch &match : tokenPattern().globalMatch(text)) {
        if (!templateTokens(kind).contains(match.captured(0)) && !unknown.contains(match.captured(0)))
            unknown << match.captured(0);
    }
    if (unknown.isEmpty())
        return {};
    return u"known tokens only, not %1 (known: %2)"_s.arg(unknown.join(u", "_s), templateTokens(kind).join(u' '));
}

TextTemplate::TextTemplate(const QString &text, TemplateKind kind)
{
    qsizetype at = 0;
    for (const QRegularExpressionMatch &match : tokenPattern().globalMatch(text)) {
        if (!templateTokens(kind).contains(match.captured(0)))
            continue;
        m_pieces.append({text.mid(at, match.capturedStart() - at), match.captured(1)});
        at = match.capturedEnd();
    }
    m_tail = text.mid(at);
}

bool TextTemplate::uses(const QString &token) const
{
    return std::any_of(m_pieces.begin(), m_pieces.end(), [&](const Piece &piece) { return piece.token == token; });
}

FilledText TextTemplate::fill(const std::function<QString(const QString &)> &valueOf) const
{
    FilledText filled;
    bool anyKept = false;
    bool lastKept = true;
    for (qsizetype i = 0; i < m_pieces.size(); ++i) {
        const QString value = valueOf(m_pieces[i].token);
        lastKept = !value.isEmpty();
        if (!lastKept)
            continue;
        // Before the first value kept, the text is a separator from a token left out.
        if (anyKept || i == 0)
            filled.text += m_pieces[i].before;
        if (isFileNameToken(m_pieces[i].token))
            filled.names.append({filled.text.size(), value.size()});
        filled.text += value;
        anyKept = true;
    }
    if (lastKept)
        filled.text += m_tail;
    return filled;
}

} // namespace pagorra
