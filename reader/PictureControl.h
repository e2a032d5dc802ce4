#pragma once
// A picture drawn at its own size with its transparency, which reports a click: a left
// press and a release over it. The skin, its buttons and the splash are such pictures.

#include <QPixmap>
#include <QWidget>

namespace folianto {

class TPngImage;

// The picture for the screen; none for a picture Qt will not decode (beyond its
// allocation limit, for one), which then shows what lies beneath.
QPixmap PixmapOf(const TPngImage& image);

class TPictureControl : public QWidget {
    Q_OBJECT
public:
    explicit TPictureControl(const TPngImage& image, QWidget* parent = nullptr, Qt::WindowFlags flags = {});

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    bool pressed_ = false;
};

}  // namespace folianto
