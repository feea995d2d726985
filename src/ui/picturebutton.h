#pragma once

#include <QIcon>
#include <QPushButton>

namespace pagorra {

// A tool button that, once a picture is attached, shows the picture at its left edge and its
// caption (without the leading spaces that reserved room for it) just after it. A button without
// a caption shows the picture centred. Detached, it is drawn as a plain push button again.
class PictureButton : public QPushButton {
    Q_OBJECT

  public:
    explicit PictureButton(const QString &caption, QWidget *parent = nullptr);

    void attachPicture(const QIcon &picture);
    void detachPicture();
    bool hasPicture() const { return !m_picture.isNull(); }
    QIcon picture() const { return m_picture; }

    // Where the picture and the caption are drawn, in the button's own pixels.
    QRect pictureRect() const;
    QRect captionRect() const;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QIcon m_picture;
};

// One of the program's own pictures (":/icons/<name>.svg"), drawn sharp at every size an icon is
// asked for. A missing picture gives a null icon.
QIcon programPicture(const QString &name);

} // namespace pagorra
