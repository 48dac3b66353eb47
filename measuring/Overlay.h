#pragma once

#include <QColor>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

// The transparent drawing surface over the image view. It keeps a short list
// of the drawing operations since it was last cleared and replays them over
// the image beneath whenever Qt repaints it. Not-XOR operations use the real
// raster operation, so a figure drawn twice restores the pixels; appending a
// not-XOR operation equal to one in the list's trailing run of not-XOR
// operations removes both instead, which keeps the list short however long a
// drag lasts, also while two bands follow the pointer at once.
class TOverlay : public QWidget {
  Q_OBJECT
public:
  enum PenMode { pmCopy, pmNotXor };
  enum OpKind { opLine, opRect, opText };
  struct Op {
    OpKind Kind;
    QPoint P1, P2;
    QString Text;
    PenMode Mode;
    QColor Color;
    int PointSize;
    bool operator==(const Op &o) const {
      return Kind == o.Kind && P1 == o.P1 && P2 == o.P2 && Text == o.Text && Mode == o.Mode &&
             Color == o.Color && PointSize == o.PointSize;
    }
  };

  explicit TOverlay(QWidget *parent = nullptr);

  // Asked on a secondary-button click: true while that button belongs to
  // measuring, so the click must not open the image area's pop-up menu.
  std::function<bool()> TakesSecondaryButton;

  // Pen settings, as the drawing code sets them before each figure.
  PenMode Mode = pmCopy;
  QColor PenColor = Qt::red;

  void Line(QPoint from, QPoint to);
  void Rectangle(QPoint corner1, QPoint corner2);
  void TextOut(QPoint topLeft, const QString &text, int pointSize);
  void Clear();

  const std::vector<Op> &DisplayList() const { return List_; }

signals:
  // Pointer events in overlay pixels.
  void MouseDown(Qt::MouseButton button, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(Qt::MouseButton button, int x, int y);

protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void hideEvent(QHideEvent *event) override;

private:
  void Append(const Op &op);
  // The pixels that drawing or removing `op` changes, with a small margin.
  QRegion Damage(const Op &op) const;
  void Paint(QPainter &painter, const Op &op) const;

  std::vector<Op> List_;
};
