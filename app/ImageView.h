#pragma once

#include <QImage>
#include <QWidget>

// The image view: shows the current image stretched to the view's size. It
// paints only the exposed part, straight from the decoded image, and never
// builds a scaled copy of the whole picture.
class TImageView : public QWidget {
  Q_OBJECT
public:
  explicit TImageView(QWidget *parent = nullptr);
  void SetPicture(const QImage &image);
  const QImage &Picture() const { return Picture_; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QImage Picture_;
};
