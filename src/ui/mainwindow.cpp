#include "ui/mainwindow.h"

#include "core/product.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace pagorra {

namespace {
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(productTitle());
    buildWidgets();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWidgets()
{
    auto *central = new QWidget(this);
    auto *columns = new QHBoxLayout(central);

    auto *left = new QWidget(central);
    left->setObjectName(QStringLiteral("picLeft"));
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->addStretch(1);
    m_cmdSave = makeButton(left, QStringLiteral("cmdSave"), QStringLiteral("Save page as"));
    m_cmdSaveAll = makeButton(left, QStringLiteral("cmdSaveAll"), QStringLiteral("Save all pages"));
    m_cmdSaveMultiPage = makeButton(left, QStringLiteral("cmdSaveMultiPage"), QStringLiteral("Save as multipage"));
    m_cmdPrint = makeButton(left, QStringLiteral("cmdPrint"), QStringLiteral("Print page"));
    m_cmdPrintAll = makeButton(left, QStringLiteral("cmdPrintAll"), QStringLiteral("Print all pages"));
    m_cmdExit = makeButton(left, QStringLiteral("cmdExit"), QStringLiteral("Exit"));
    for (QPushButton *button : {m_cmdSave, m_cmdSaveAll, m_cmdSaveMultiPage, m_cmdPrint, m_cmdPrintAll, m_cmdExit})
        leftLayout->addWidget(button);

    auto *right = new QWidget(central);
    auto *rightLayout = new QVBoxLayout(right);
    auto *tools = new QHBoxLayout;
    auto *preview = new QLabel(QStringLiteral("Preview"), right);
    preview->setObjectName(QStringLiteral("lblPreview"));
    tools->addWidget(preview);
    tools->addStretch(1);
    auto *zoomGroup = new QButtonGroup(this);
    const QString zoomCaptions[2] = {QStringLiteral("Best fit"), QStringLiteral("100%")};
    for (int i = 0; i < 2; ++i) {
        m_optZoom[i] = new QRadioButton(zoomCaptions[i], right);
        m_optZoom[i]->setObjectName(QStringLiteral("optZoom%1").arg(i));
        zoomGroup->addButton(m_optZoom[i], i);
        tools->addWidget(m_optZoom[i]);
    }
    m_cmdHelp = makeButton(right, QStringLiteral("cmdHelp"), QString());
    m_cmdHelp->setIcon(
        QIcon::fromTheme(QStringLiteral("help-contents"), style()->standardIcon(QStyle::SP_MessageBoxQuestion)));
    m_cmdHelp->setToolTip(QStringLiteral("View Application help and documentation"));
    tools->addWidget(m_cmdHelp);
    rightLayout->addLayout(tools);
    rightLayout->addStretch(1);

    columns->addWidget(left);
    columns->addWidget(right, 1);
    setCentralWidget(central);
    resize(960, 640);

    connect(m_cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdHelp, &QPushButton::clicked, this, &MainWindow::showHelp);
}

void MainWindow::setOutputButtonsEnabled(bool enabled)
{
    for (QPushButton *button : {m_cmdSave, m_cmdSaveAll, m_cmdSaveMultiPage, m_cmdPrint, m_cmdPrintAll})
        button->setEnabled(enabled);
}

} // namespace pagorra
