#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

namespace pagorra {

// Captions and footers are written as templates: plain text with tokens such as {name} that
// stand for a value of each photo (or each page). The user types them; the run fills them.
enum class TemplateKind { Caption, Footer };

// The tokens a template of that kind knows, as they are written ("{name}"), in help order.
const QStringList &templateTokens(TemplateKind kind);

// What a template needs to be taken, when it is not sound, as words that follow "The caption
// needs" or "--caption needs": known tokens only (naming those it holds that its kind does not
// know), a caption of at most two lines, a footer of one line and at most three parts. Empty
// when it is sound.
QString templateProblem(const QString &text, TemplateKind kind);

// A template filled for one photo or page. The ranges are where file names were put in, so
// that a caption too long for its cell is shortened inside a name rather than at its end.
struct FilledText {
    QString text;
    QList<std::pair<qsizetype, qsizetype>> names; // start and length in text
};

// A template as a run uses it. Tokens of other kinds, and braces around anything else, are
// plain text: a stored template that was never checked shows what it holds.
class TextTemplate {
  public:
    TextTemplate() = default;
    TextTemplate(const QString &text, TemplateKind kind);

    bool isEmpty() const { return m_pieces.isEmpty() && m_tail.isEmpty(); }
    bool uses(const QString &token) const;

    // The text with each token replaced by valueOf(token, its name without braces). A token
    // without a value is left out with the text before it, which is the separator from the
    // token before (or the token's label): "{camera}, {lens}" without a camera gives the lens
    // alone, and "f/{aperture}" without an aperture nothing. The text after the last token
    // goes with it in the same way.
    FilledText fill(const std::function<QString(const QString &token)> &valueOf) const;

  private:
    struct Piece {
        QString before; // the text between the token before and this one
        QString token;
    };
    QList<Piece> m_pieces;
    QString m_tail;
};

} // namespace pagorra
