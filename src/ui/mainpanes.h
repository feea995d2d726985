#pragma once

#include "ui/mainlayout.h"

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace pagorra {

class PictureButton;

// The main window's central widget: the left pane with the basket and the commands, the headings
// and buttons along the top, and the places of the page view (`picRight`) and the zoom tools
// (`picTools`), which the viewer supplies. Each control's objectName is its control name; the
// window connects the controls through the accessors. Design positions are twips, turned into
// pixels with the screen's logical DPI; a layout on a screen of another DPI places them anew.
class MainPanes : public QWidget {
    Q_OBJECT

  public:
    explicit MainPanes(QWidget *parent = nullptr);

    QWidget *picLeft() const { return m_picLeft; }
    QLabel *lbl() const { return m_lbl; }
    QLabel *lblCount() const { return m_lblCount; }
    PictureButton *cmdAddFiles() const { return m_cmdAddFiles; }
    PictureButton *cmdAddFolder() const { return m_cmdAddFolder; }
    PictureButton *cmdNew() const { return m_cmdNew; }
    PictureButton *cmdRemove() const { return m_cmdRemove; }
    QTreeWidget *lv() const { return m_lv; }
    QWidget *picLeftBottom() const { return m_picLeftBottom; }
    QLabel *label2() const { return m_label2; }
    PictureButton *cmdTasks() const { return m_cmdTasks; }
    PictureButton *cmdSave() const { return m_cmdSave; }
    PictureButton *cmdPreview() const { return m_cmdPreview; }
    QPushButton *cmdSaveAll() const { return m_cmdSaveAll; }
    QPushButton *cmdSaveMultiPage() const { return m_cmdSaveMultiPage; }
    PictureButton *cmdPrint() const { return m_cmdPrint; }
    PictureButton *cmdExit() const { return m_cmdExit; }
    QPushButton *cmdPrintAll() const { return m_cmdPrintAll; }
    QLabel *lblPreview() const { return m_lblPreview; }
    PictureButton *cmdHelp() const { return m_cmdHelp; }
    QPushButton *cmdAbout() const { return m_cmdAbout; }
    QWidget *picRight() const { return m_picRight; }
    QWidget *picTools() const { return m_picTools; }

    // Put the viewer's page view and zoom tools in their places. The panes take ownership; the
    // widget that held the place until then is deleted. The page view takes the place's current
    // geometry and is resized with the window from then on.
    void setRightPane(QWidget *pane);
    void setZoomTools(QWidget *tools);

    // Places a control of the program's own, beyond the design, at `twips`, where the design
    // leaves room; it is placed anew with the design. The panes take ownership.
    void addControl(QWidget *control, const QRect &twips);

    // The ten picture buttons in the order their pictures are attached and detached.
    QList<PictureButton *> pictureButtons() const;
    void attachPictures();
    // The add buttons' tool tips name the picture types the basket takes (basket/inputfiles.h).
    void showInputTypes();
    void detachPictures();
    // Repaints the tool buttons (subRefreshButtons).
    void refreshButtons();

    // Places the panes for the panes' own size. The window normally reaches this through
    // layoutMainWindow(); the panes also call it on their own resize unless the window is minimised.
    void layoutPanes();

  protected:
    void resizeEvent(QResizeEvent *event) override;

  private:
    struct Placement {
        QWidget *widget;
        QRect twips;
    };

    void designAt(QWidget *widget, const QRect &twips);
    void placeAtDesign(const TwipsScale &scale);

    QList<Placement> m_design;
    TwipsScale m_placedScale{0, 0};
    bool m_placed = false;

    QWidget *m_picLeft;
    QLabel *m_lbl;
    QLabel *m_lblCount;
    PictureButton *m_cmdAddFiles;
    PictureButton *m_cmdAddFolder;
    PictureButton *m_cmdNew;
    PictureButton *m_cmdRemove;
    QTreeWidget *m_lv;
    QWidget *m_picLeftBottom;
    QLabel *m_label2;
    PictureButton *m_cmdTasks;
    PictureButton *m_cmdSave;
    PictureButton *m_cmdPreview;
    QPushButton *m_cmdSaveAll;
    QPushButton *m_cmdSaveMultiPage;
    PictureButton *m_cmdPrint;
    PictureButton *m_cmdExit;
    QPushButton *m_cmdPrintAll;
    QLabel *m_lblPreview;
    QWidget *m_picTools;
    PictureButton *m_cmdHelp;
    QPushButton *m_cmdAbout;
    QWidget *m_picRight;
};

} // namespace pagorra
