#include "ui/aboutbox.h"

#include "ui/picturebutton.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pagorra {

namespace {

QLabel *textLabel(const QString &text, QWidget *parent, const QString &name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

QString programVersion()
{
    return QStringLiteral("%1.%2.%3").arg(PAGORRA_VERSION_MAJOR).arg(PAGORRA_VERSION_MINOR).arg(PAGORRA_VERSION_PATCH);
}

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Arvok Pagorra"));
    setModal(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picIcon"));
    picture->setPixmap(programPicture(QStringLiteral("pagorra")).pixmap(QSize(48, 48), devicePixelRatio()));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *title = textLabel(QStringLiteral("Arvok Pagorra"), this, QStringLiteral("lblTitle"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    title->setFont(titleFont);
    auto *version = textLabel(QStringLiteral("Version ") + programVersion(), this, QStringLiteral("lblVersion"));
    auto *description = textLabel(
        QStringLiteral("Makes contact sheets: thumbnail pages of your photos, with an optional title and page "
                       "numbers, to keep as image files, PDF or multipage TIFF documents, or to print."),
        this, QStringLiteral("lblDescription"));
    auto *company = textLabel(QStringLiteral("Halvorn Imaging"), this, QStringLiteral("lblCompany"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(description);
    texts->addSpacing(8);
    texts->addWidget(company);
    texts->addStretch();

    auto *body = new QHBoxLayout;
    body->addWidget(picture, 0, Qt::AlignTop);
    body->addSpacing(12);
    body->addLayout(texts, 1);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(body);
    outer->addWidget(buttons);

    description->setMinimumWidth(300);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void showAboutBox(QWidget *parent)
{
    AboutBox box(parent);
    box.exec();
}

} // namespace pagorra
